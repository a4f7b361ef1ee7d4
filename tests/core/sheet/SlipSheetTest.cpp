// SPDX-License-Identifier: GPL-3.0-or-later

// Slips read from spreadsheet files: the files LibreOffice and Excel write, the typing rules applied
// to every cell, and the export read back.
#include "core/sheet/SlipSheet.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/workbook/SheetFile.h"

#include "FailureCompare.h"
#include "SheetImportOf.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define CEDOLARIO_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CEDOLARIO_ASAN 1
#endif
#endif

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SheetEncoding)

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(SHEET_DATA_DIR "/") + name;
}

SlipTexts texts(std::initializer_list<QString> values)
{
    SlipTexts result;
    int i = 0;
    for (const QString& value : values)
        result[i++] = value;
    return result;
}

QStringList problemRows(const SheetImport& import)
{
    QStringList rows;
    for (const SheetProblem& p : import.problems)
        rows.append(u"%1 %2"_s.arg(p.row).arg(p.column));
    return rows;
}

// The amount and the account every row takes when its sheet has no column for them: without them no
// row becomes a slip, and the tests of other columns need neither.
SheetMerge slipKeys()
{
    SheetMerge merge;
    merge.values[Amount] = u"1,00"_s;
    merge.values[AccountNumber] = u"12345678"_s;
    return merge;
}

// A sheet with the given header and one row. The amount and the account, without which no row becomes
// a slip, are added when the header lacks them.
SheetImport oneRow(QString header, QString row)
{
    const QString separator = header.contains(u';') || !header.contains(u',') ? u";"_s : u","_s;
    for (const auto& [name, value] :
         {std::pair{u"Importo"_s, u"1,00"_s}, std::pair{u"Conto"_s, u"12345678"_s}}) {
        if (!header.split(separator).contains(name)) {
            header += separator + name;
            row += separator + (separator == u"," ? u'"' + value + u'"' : value);
        }
    }
    return importOf((header + u"\r\n"_s + row + u"\r\n"_s).toUtf8());
}

} // namespace

class SlipSheetTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void spreadsheetFiles_data();
    void spreadsheetFiles();
    void amountCell_data();
    void amountCell();
    void digitCells_data();
    void digitCells();
    void optionCells_data();
    void optionCells();
    void headersAndRows();
    void encodings_data();
    void encodings();
    void mixedEncodingsRefuseTheOddRows();
    void zeroBytesAndShortRowsRefuseTheirRow();
    void headerTyposAndMissingColumns();
    void workbookCells();
    void slipsAlreadyInTheArchive();
    void slipsAlmostInTheArchive();
    void storedSlipsFoundAsTheArchiveStreams_data();
    void storedSlipsFoundAsTheArchiveStreams();
    void exportReadsBack();
    void longCellsAreShortenedInMessages();
    void largeSheetUnderMemoryLimit_data();
    void largeSheetUnderMemoryLimit();
};

void SlipSheetTest::spreadsheetFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<SheetEncoding>("encoding");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("polishLetterKept");

    QTest::newRow("LibreOffice, semicolons, UTF-8")
        << "libreoffice-semicolon-utf8.csv" << SheetEncoding::Utf8 << ";" << true;
    QTest::newRow("LibreOffice, commas, UTF-8")
        << "libreoffice-comma-utf8.csv" << SheetEncoding::Utf8 << "," << true;
    QTest::newRow("LibreOffice, semicolons, Windows-1252")
        << "libreoffice-semicolon-1252.csv" << SheetEncoding::Windows1252 << ";" << false;
    QTest::newRow("Excel CSV UTF-8 with byte order mark")
        << "excel-utf8-bom.csv" << SheetEncoding::Utf8WithBom << ";" << true;
    QTest::newRow("Excel CSV in Windows-1252")
        << "excel-1252.csv" << SheetEncoding::Windows1252 << ";" << false;
}

void SlipSheetTest::spreadsheetFiles()
{
    QFETCH(QString, file);
    QFETCH(SheetEncoding, encoding);
    QFETCH(QString, separator);
    QFETCH(bool, polishLetterKept);

    SheetImport import;
    QCOMPARE(readSheetFile(fixture(file), import), Failure());
    QCOMPARE(import.encoding, encoding);
    QCOMPARE(QString(import.separator), separator);
    QCOMPARE(import.ignoredColumns, QStringList{u"Note"_s});

    // Quotes doubled inside a quoted cell, a separator inside quotes, the header's "Città" read in
    // either code page.
    const QString payee = u"Associazione Amici del Po"_s;
    QList<SheetSlip> expected;
    expected.append({2,
                     texts({u"Mario Rossi"_s, u"Via Roma 1"_s, u"00100"_s, u"Roma"_s, u"12,50"_s,
                            u"dodici/50"_s, u"Associazione \"Amici del Po\""_s, u"Sezione di Torino"_s,
                            QString(), u"12345678"_s, u"Quota 2027; prima rata"_s, u"123"_s}),
                     PaletteState{false, true, CheckBoxState::Ticked},
                     {}});
    // A line break inside a quoted cell becomes a space; "no" unticks the code line.
    expected.append({3,
                     texts({u"Anna Bianchi"_s, u"Piazza Duomo 3 scala B"_s, u"20121"_s, u"Milano"_s,
                            u"1234,56"_s, u"milleduecentotrentaquattro/56"_s, payee, QString(), QString(),
                            u"12345678"_s, u"Quota 2027"_s, u"896"_s}),
                     PaletteState{true, false, CheckBoxState::Unticked},
                     {}});
    // A whole number is that many euro.
    expected.append(
        {4,
         texts({u"Luca Verdi"_s, u"Corso Italia 5"_s, u"10121"_s, u"Torino"_s, u"25,00"_s,
                u"venticinque/00"_s, payee, QString(), QString(), u"12345678"_s, u"Quota 2027"_s, u"123"_s}),
         PaletteState{false, true, CheckBoxState::Ticked},
         {}});
    // Accents, the euro sign and an en dash, all in Windows-1252; empty model and code line take the
    // palette's start-up values.
    expected.append(
        {7,
         texts({u"Nicolò Ferrè"_s, u"Via Università 7"_s, u"80138"_s, u"Napoli"_s, u"0,50"_s, u"/50"_s, payee,
                QString(), QString(), u"12345678"_s, u"Quota \u20AC 10 \u2013 ridotta"_s, u"123"_s}),
         PaletteState{false, true, CheckBoxState::Ticked},
         {}});
    if (!polishLetterKept)
        expected.append(
            {8,
             texts({u"?ukasz Nowak"_s, u"Via Verdi 9"_s, u"00184"_s, u"Roma"_s, u"10,00"_s, u"dieci/00"_s,
                    payee, QString(), QString(), u"12345678"_s, u"Quota 2027"_s, u"123"_s}),
             PaletteState{false, true, CheckBoxState::Ticked},
             {}});

    QCOMPARE(import.slips.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(import.slips[i].row, expected[i].row);
        for (int field = 0; field < SlipFieldCount; ++field)
            QCOMPARE(import.slips[i].fields[field], expected[i].fields[field]);
        QCOMPARE(import.slips[i].state, expected[i].state);
        QVERIFY(!import.slips[i].date);
    }

    // The dash in the account number is refused, not dropped; the empty row is no row at all.
    QStringList refused{u"5 Conto"_s};
    if (polishLetterKept)
        refused.append(u"8 Nome"_s);
    QCOMPARE(problemRows(import), refused);
    QCOMPARE(import.refusedRows, refused.size());
    if (polishLetterKept)
        QVERIFY2(import.problems.last().reason.contains(u"«Ł» (U+0141)"_s),
                 qPrintable(import.problems.last().reason));
}

void SlipSheetTest::amountCell_data()
{
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("amount"); // empty with words "refused": the row is refused
    QTest::addColumn<QString>("words");

    // The form's own rules.
    QTest::newRow("one decimal") << ";"
                                 << "12,5"
                                 << "12,50"
                                 << "dodici/50";
    QTest::newRow("spaces around") << ";"
                                   << "  7, "
                                   << "7,00"
                                   << "sette/00";
    QTest::newRow("third decimal rounds up") << ";"
                                             << "1,995"
                                             << "2,00"
                                             << "due/00";
    QTest::newRow("leading zeros go") << ";"
                                      << "0012,30"
                                      << "12,30"
                                      << "dodici/30";
    QTest::newRow("too large for words keeps the amount") << ";"
                                                          << "1234567890123,00"
                                                          << "1234567890123,00"
                                                          << "";
    QTest::newRow("empty cell: no slip without an amount") << ";"
                                                           << ""
                                                           << ""
                                                           << "refused";
    // As sheets write amounts.
    QTest::newRow("whole number is euro") << ";"
                                          << "35"
                                          << "35,00"
                                          << "trentacinque/00";
    QTest::newRow("euro sign before") << ";"
                                      << "\u20AC 35,00"
                                      << "35,00"
                                      << "trentacinque/00";
    QTest::newRow("euro sign after, no-break space") << ";"
                                                     << "35,00\u00A0\u20AC"
                                                     << "35,00"
                                                     << "trentacinque/00";
    QTest::newRow("EUR before") << ";"
                                << "EUR 12,50"
                                << "12,50"
                                << "dodici/50";
    QTest::newRow("Italian thousands dots") << ";"
                                            << "1.234,50"
                                            << "1234,50"
                                            << "milleduecentotrentaquattro/50";
    QTest::newRow("Italian dots, no decimals")
        << ";"
        << "1.234.567"
        << "1234567,00"
        << "unmilioneduecentotrentaquattromilacinquecentosessantasette/00";
    QTest::newRow("grouped by spaces") << ";"
                                       << "1 234,50"
                                       << "1234,50"
                                       << "milleduecentotrentaquattro/50";
    QTest::newRow("decimal point that cannot group") << ";"
                                                     << "1234.5"
                                                     << "1234,50"
                                                     << "milleduecentotrentaquattro/50";
    QTest::newRow("English grouping in a comma file") << ","
                                                      << "1,234.50"
                                                      << "1234,50"
                                                      << "milleduecentotrentaquattro/50";
    QTest::newRow("decimal comma in a comma file") << ","
                                                   << "35,5"
                                                   << "35,50"
                                                   << "trentacinque/50";
    QTest::newRow("English grouping, no decimals, comma file")
        << ","
        << "1,234,567"
        << "1234567,00"
        << "unmilioneduecentotrentaquattromilacinquecentosessantasette/00";
    // Refused with their reason.
    QTest::newRow("dot and three digits reads two ways") << ";"
                                                         << "1.234"
                                                         << ""
                                                         << "refused";
    QTest::newRow("comma and three digits in a comma file reads two ways") << ","
                                                                           << "1,234"
                                                                           << ""
                                                                           << "refused";
    QTest::newRow("English grouping in a semicolon file") << ";"
                                                          << "1,234.50"
                                                          << ""
                                                          << "refused";
    QTest::newRow("groups of two") << ";"
                                   << "12.34.567,00"
                                   << ""
                                   << "refused";
    QTest::newRow("two commas") << ";"
                                << "1,2,3"
                                << ""
                                << "refused";
    QTest::newRow("negative") << ";"
                              << "-5,00"
                              << ""
                              << "refused";
    QTest::newRow("negative after the sign") << ";"
                                             << "\u20AC -5"
                                             << ""
                                             << "refused";
    QTest::newRow("letters") << ";"
                             << "dieci"
                             << ""
                             << "refused";
    QTest::newRow("dollar sign") << ";"
                                 << "$ 10"
                                 << ""
                                 << "refused";
}

void SlipSheetTest::amountCell()
{
    QFETCH(QString, separator);
    QFETCH(QString, cell);
    QFETCH(QString, amount);
    QFETCH(QString, words);

    const SheetImport import =
        oneRow(u"Nome"_s + separator + u"Importo"_s, u"Mario Rossi%1\"%2\""_s.arg(separator, cell));
    QCOMPARE(QString(import.separator), separator);
    if (words == u"refused") {
        QCOMPARE(import.slips.size(), 0);
        QCOMPARE(problemRows(import), QStringList{u"2 Importo"_s});
        QVERIFY2(import.problems[0].reason.contains(cell.trimmed()), qPrintable(import.problems[0].reason));
        return;
    }
    QCOMPARE(import.problems.size(), 0);
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(import.slips[0].fields[Amount], amount);
    QCOMPARE(import.slips[0].fields[AmountWords], words);
}

void SlipSheetTest::digitCells_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("cell");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("kept"); // "refused": the row is refused

    QTest::newRow("account in groups of digits") << "Conto"
                                                 << " 1234 5678 " << int(AccountNumber) << "12345678";
    QTest::newRow("account with a letter") << "Conto"
                                           << "1234567A" << int(AccountNumber) << "refused";
    QTest::newRow("postcode keeps its leading zero") << "CAP"
                                                     << "00100" << int(PayerPostcode) << "00100";
    QTest::newRow("postcode of six digits") << "CAP"
                                            << "001001" << int(PayerPostcode) << "refused";
    QTest::newRow("document type with a dot") << "TD"
                                              << "12.3" << int(DocumentType) << "refused";
    QTest::newRow("line break in a name") << "Nome"
                                          << "Mario\r\nRossi" << int(PayerName) << "Mario Rossi";
    QTest::newRow("tab stays, spaces go") << "Causale"
                                          << "  a\tb  " << int(PaymentReason) << "a\tb";
    QTest::newRow("emoji cannot be stored") << "Causale"
                                            << "Festa \U0001F389" << int(PaymentReason) << "refused";
}

void SlipSheetTest::digitCells()
{
    QFETCH(QString, header);
    QFETCH(QString, cell);
    QFETCH(int, field);
    QFETCH(QString, kept);

    const SheetImport import = oneRow(u"Intestato 3;"_s + header, u"x;\"%1\""_s.arg(cell));
    if (kept == u"refused") {
        QCOMPARE(import.slips.size(), 0);
        QCOMPARE(problemRows(import), QStringList{u"2 "_s + header});
        return;
    }
    QCOMPARE(import.problems.size(), 0);
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(import.slips[0].fields[field], kept);
}

void SlipSheetTest::optionCells_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("codeLine");
    QTest::addColumn<QString>("date");
    QTest::addColumn<bool>("good");
    QTest::addColumn<bool>("premarcati");
    QTest::addColumn<bool>("twoFrame");
    QTest::addColumn<int>("check");
    QTest::addColumn<QDate>("expectedDate");

    QTest::newRow("written as the export writes them")
        << "premarcati"
        << "no"
        << "07/12/2026" << true << true << false << 0 << QDate(2026, 12, 7);
    QTest::newRow("capitals and a short year") << "PREMARCATI"
                                               << "SI"
                                               << "7/1/27" << true << true << false << 1 << QDate(2027, 1, 7);
    QTest::newRow("ISO date, greyed check box")
        << "2 Frame"
        << "2"
        << "2026-02-28" << true << false << true << 2 << QDate(2026, 2, 28);
    QTest::newRow("archive's own date")
        << "nessuno"
        << ""
        << "07 dicembre 2026" << true << false << false << 1 << QDate(2026, 12, 7);
    QTest::newRow("no such model") << "3 frame"
                                   << ""
                                   << "" << false << false << false << 0 << QDate();
    QTest::newRow("no such choice") << ""
                                    << "forse"
                                    << "" << false << false << false << 0 << QDate();
    QTest::newRow("no such day") << ""
                                 << ""
                                 << "31/02/2026" << false << false << false << 0 << QDate();
}

void SlipSheetTest::optionCells()
{
    QFETCH(QString, model);
    QFETCH(QString, codeLine);
    QFETCH(QString, date);
    QFETCH(bool, good);

    const SheetImport import =
        oneRow(u"Nome;Modello;Stampa indic.;Data"_s, u"x;%1;%2;%3"_s.arg(model, codeLine, date));
    QCOMPARE(import.slips.size(), good ? 1 : 0);
    QCOMPARE(import.problems.size(), good ? 0 : 1);
    if (!good)
        return;
    QFETCH(bool, premarcati);
    QFETCH(bool, twoFrame);
    QFETCH(int, check);
    QFETCH(QDate, expectedDate);
    QCOMPARE(import.slips[0].state, (PaletteState{premarcati, twoFrame, CheckBoxState(check)}));
    QCOMPARE(import.slips[0].date, std::optional<QDate>(expectedDate));
}

void SlipSheetTest::headersAndRows()
{
    // Letter case, accents, dots and spaces in headers do not matter; a repeated or unknown header is
    // listed and its cells ignored; a missing column leaves its field empty.
    SheetImport import =
        importOf("CITTA;c.a.p.; importo ;NR. C/C;Cittá;Colore\nRoma;00100;1,00;123;Milano;rosso\n");
    QCOMPARE(import.ignoredColumns, (QStringList{u"Cittá (ripetuta)"_s, u"Colore"_s}));
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(import.slips[0].fields[PayerTown], u"Roma"_s);
    QCOMPARE(import.slips[0].fields[PayerPostcode], u"00100"_s);
    QCOMPARE(import.slips[0].fields[Amount], u"1,00"_s);
    QCOMPARE(import.slips[0].fields[AccountNumber], u"123"_s);
    QCOMPARE(import.slips[0].fields[PayerName], QString());

    // A quote left open swallows the rest of the file: that row is refused, the one before kept.
    import = importOf("Nome;Causale\nA;uno\nB;\"due\nC;tre\n", slipKeys());
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(problemRows(import), QStringList{u"3 "_s});

    // More cells than headers: the row is refused unless the extra cells are empty.
    import = importOf("Nome;Causale\nA;uno;;\nB;due;tre\n", slipKeys());
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(import.slips[0].fields[PayerName], u"A"_s);
    QCOMPARE(problemRows(import), QStringList{u"3 "_s});

    // Several faults of one row are all reported, and the row counts once.
    import = importOf("Nome;Importo;Conto\nA;1.234;x\n");
    QCOMPARE(problemRows(import), (QStringList{u"2 Importo"_s, u"2 Conto"_s}));
    QCOMPARE(import.refusedRows, 1);
    QCOMPARE(problemText(import.problems[0]).left(26), u"Riga 2, colonna «Importo»:"_s);

    // Files that are no list of slips read none, whatever the import held before.
    import = importOf("Nome;Importo;Conto\nA;1,00;123\n");
    QCOMPARE(readSlipSheet("", import).kind(), Failure::Kind::Failed);
    QCOMPARE(import.slips.size(), 0);
    QCOMPARE(readSlipSheet("\xEF\xBB\xBF\r\n\r\n", import).kind(), Failure::Kind::Failed);
    const Failure noHeader = readSlipSheet("Colore;Forma\nrosso;tondo\n", import);
    QCOMPARE(noHeader.kind(), Failure::Kind::Failed);
    QVERIFY2(noHeader.text().contains(u"intestazione"_s), qPrintable(noHeader.text()));
    QCOMPARE(import.slips.size(), 0);
    import = importOf("Nome;Importo;Conto\nA;1,00;123\n");
    QCOMPARE(readSheetFile(fixture(u"no-such-file.csv"_s), import).kind(), Failure::Kind::Failed);
    QCOMPARE(import.slips.size(), 0);
}

// A bad cell or header of a megabyte is quoted by its first sixty characters, line breaks as spaces.
void SlipSheetTest::longCellsAreShortenedInMessages()
{
    const QString amount = u"12x"_s.repeated(350'000);
    const QString header = u"Note\nlunghe "_s + QString(1'000'000, u'n');
    const SheetImport import = importOf(
        (u"Nome;Importo;Modello;\"%1\"\r\nA;%2;\"primo\r\nsecondo\";\r\n"_s.arg(header, amount)).toUtf8());
    QCOMPARE(import.ignoredColumns, QStringList{u"Note lunghe "_s + QString(48, u'n') + u"…"_s});
    QCOMPARE(import.problems.size(), 2);
    QCOMPARE(problemText(import.problems[0]),
             u"Riga 2, colonna «Importo»: l'importo «"_s + u"12x"_s.repeated(20) +
                 u"…» non è valido: scrivere solo cifre e una virgola, come 1234,50"_s);
    QCOMPARE(problemText(import.problems[1]),
             u"Riga 2, colonna «Modello»: «primo secondo» non è un modello: scrivere premarcati o 2 frame"_s);
    QCOMPARE(ignoredColumnsText(import), u"Colonne ignorate: «Note lunghe "_s + QString(48, u'n') + u"…»."_s);
}

void SlipSheetTest::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<SheetEncoding>("encoding");

    // "Nome;Città\r\nNicolò;Forlì\r\n" in each encoding.
    const QString text = u"Nome;Citt\u00E0\r\nNicol\u00F2;Forl\u00EC\r\n"_s;
    QByteArray little;
    QByteArray big;
    for (const QChar c : text) {
        little += char(c.unicode() & 0xFF);
        little += char(c.unicode() >> 8);
        big += char(c.unicode() >> 8);
        big += char(c.unicode() & 0xFF);
    }
    QTest::newRow("UTF-8") << text.toUtf8() << SheetEncoding::Utf8;
    QTest::newRow("UTF-8 with byte order mark")
        << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << SheetEncoding::Utf8WithBom;
    QTest::newRow("Windows-1252") << QByteArray("Nome;Citt\xE0\r\nNicol\xF2;Forl\xEC\r\n")
                                  << SheetEncoding::Windows1252;
    QTest::newRow("UTF-16 LE with byte order mark")
        << QByteArray("\xFF\xFE") + little << SheetEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE with byte order mark") << QByteArray("\xFE\xFF") + big << SheetEncoding::Utf16BE;
    QTest::newRow("UTF-16 LE without a mark") << little << SheetEncoding::Utf16LE;
    QTest::newRow("UTF-16 BE without a mark") << big << SheetEncoding::Utf16BE;
}

void SlipSheetTest::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(SheetEncoding, encoding);

    SheetImport import;
    QCOMPARE(readSlipSheet(bytes, import, slipKeys()), Failure());
    QCOMPARE(import.encoding, encoding);
    QCOMPARE(import.ignoredColumns, QStringList());
    QCOMPARE(import.problems.size(), 0);
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(import.slips[0].fields[PayerName], u"Nicol\u00F2"_s);
    QCOMPARE(import.slips[0].fields[PayerTown], u"Forl\u00EC"_s);
}

void SlipSheetTest::mixedEncodingsRefuseTheOddRows()
{
    // A UTF-8 file with one row pasted in Windows-1252: that row is refused, the others read right.
    SheetImport import = importOf("Nome;Citt\xC3\xA0\nA;Forl\xC3\xAC\nB;Cant\xF9\nC;Citt\xC3\xA0 "
                                  "alta\nD;Roma\n",
                                  slipKeys());
    QCOMPARE(import.encoding, SheetEncoding::Utf8);
    QCOMPARE(import.slips.size(), 3);
    QCOMPARE(import.slips[0].fields[PayerTown], u"Forl\u00EC"_s);
    QCOMPARE(import.slips[1].fields[PayerTown], u"Citt\u00E0 alta"_s);
    QCOMPARE(problemRows(import), QStringList{u"3 "_s});
    QVERIFY2(import.problems[0].reason.contains(u"UTF-8"_s), qPrintable(import.problems[0].reason));

    // Mostly Windows-1252 with one UTF-8 row: the UTF-8 row is refused rather than stored as "CittÃ".
    import = importOf("Nome;Citt\xE0\nA;Forl\xEC\nB;Cant\xF9\nC;Citt\xC3\xA0\n", slipKeys());
    QCOMPARE(import.encoding, SheetEncoding::Windows1252);
    QCOMPARE(import.slips.size(), 2);
    QCOMPARE(import.slips[1].fields[PayerTown], u"Cant\u00F9"_s);
    QCOMPARE(problemRows(import), QStringList{u"4 "_s});

    // After a UTF-8 byte order mark the file is UTF-8 whatever most of its rows are.
    import = importOf("\xEF\xBB\xBFNome;Causale\nA;Forl\xEC\nB;Bra\n", slipKeys());
    QCOMPARE(import.encoding, SheetEncoding::Utf8WithBom);
    QCOMPARE(import.slips.size(), 1);
    QCOMPARE(problemRows(import), QStringList{u"2 "_s});
}

void SlipSheetTest::zeroBytesAndShortRowsRefuseTheirRow()
{
    SheetImport import = importOf(
        QByteArray("Nome;Causale;CAP\nA;uno;00100\nB;d\0ue;00100\nC;tre\nD;quattro;00100\n", 62), slipKeys());
    QCOMPARE(import.slips.size(), 2);
    QCOMPARE(import.slips[1].fields[PayerName], u"D"_s);
    QCOMPARE(problemRows(import), (QStringList{u"3 "_s, u"4 "_s}));
    QVERIFY2(import.problems[0].reason.contains(u"byte nullo"_s), qPrintable(import.problems[0].reason));
    QVERIFY2(import.problems[1].reason.contains(u"2 valori"_s), qPrintable(import.problems[1].reason));
    QCOMPARE(import.refusedRows, 2);

    // A header with a zero byte reads nothing.
    const Failure zeroInHeader = readSlipSheet(QByteArray("No\0me;Causale\nA;uno\n", 20), import, slipKeys());
    QCOMPARE(zeroInHeader.kind(), Failure::Kind::Failed);
    QVERIFY2(zeroInHeader.text().contains(u"byte nullo"_s), qPrintable(zeroInHeader.text()));

    // Columns left empty after the last name do not make the rows short.
    import = importOf("Nome;Causale;;\nA;uno\n", slipKeys());
    QCOMPARE(import.problems.size(), 0);
    QCOMPARE(import.slips.size(), 1);
}

void SlipSheetTest::headerTyposAndMissingColumns()
{
    // A header one slip away from a column that is missing stops the import before anything is read.
    for (const char* header : {"Nome;Imorto;Conto", "Nome;Importo;Cotno", "Nome;Importo;Conto;Indirzzo"}) {
        SheetImport import;
        const Failure failure = readSlipSheet(QByteArray(header) + "\nA;1,00;123;x\n", import);
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
        QVERIFY2(failure.text().contains(u"forse"_s), qPrintable(failure.text()));
        QCOMPARE(import.slips.size(), 0);
    }
    // A name close to a column that is already there is just an ignored column.
    SheetImport import = importOf("Nome;Importo;Conto;Importi\nA;1,00;123;x\n");
    QCOMPARE(import.ignoredColumns, QStringList{u"Importi"_s});
    QCOMPARE(import.missingColumns, QStringList());

    // The key columns that are missing are named.
    import = importOf("Causale;TD;Colore\nQuota;123;rosso\n");
    QCOMPARE(import.missingColumns, (QStringList{u"Nome"_s, u"Importo"_s, u"Conto"_s}));
    QVERIFY(missingColumnsText(import).contains(u"«Importo»"_s));

    // A postcode that lost its zeros is completed and the review says so.
    import = importOf("Nome;CAP\nA;184\nB;00184\nC;\n", slipKeys());
    QCOMPARE(import.slips.size(), 3);
    QCOMPARE(import.slips[0].fields[PayerPostcode], u"00184"_s);
    QCOMPARE(import.slips[2].fields[PayerPostcode], QString());
    QCOMPARE(import.notices.size(), 1);
    QCOMPARE(import.notices[0].row, 2);
    QVERIFY2(import.notices[0].reason.contains(u"00184"_s), qPrintable(import.notices[0].reason));
}

void SlipSheetTest::workbookCells()
{
    auto text = [](const QString& value) {
        SheetCell cell;
        cell.text = value;
        return cell;
    };
    auto number = [](const QString& shown, const QString& value) {
        SheetCell cell;
        cell.text = shown;
        cell.kind = SheetCellKind::Number;
        cell.number = value;
        return cell;
    };
    SheetCell date;
    date.text = u"05/03/2026"_s;
    date.kind = SheetCellKind::Date;
    date.date = QDate(2026, 3, 5);

    QList<SheetRow> rows;
    rows.append({1,
                 {text(u"Nome"_s), text(u"Importo"_s), text(u"Conto"_s), text(u"CAP"_s), text(u"Data"_s)},
                 false,
                 {}});
    // Numbers by their stored value, whatever they show; the postcode as shown with its format.
    rows.append({2,
                 {text(u"A"_s), number(u"€ 1.234,50"_s, u"1234.5"_s),
                  number(u"1012345678"_s, u"1012345678"_s), number(u"00184"_s, u"184"_s), date},
                 false,
                 {}});
    rows.append(
        {3, {text(u"B"_s), number(u"35"_s, u"35"_s), number(u"001012345678"_s, u"1012345678"_s)}, false, {}});
    rows.append({4, {text(u"C"_s), number(u"-5"_s, u"-5"_s)}, false, {}});
    rows.append({5, {text(u"D"_s), date}, false, {}});
    qsizetype at = 0;
    SheetImport import;
    const Failure failure = readSlipSheetRows(
        [&](SheetRow& row) {
            if (at == rows.size())
                return false;
            row = rows[at++];
            return true;
        },
        import);
    QCOMPARE(failure, Failure());
    QCOMPARE(import.slips.size(), 2);
    QCOMPARE(import.slips[0].fields[Amount], u"1234,50"_s);
    QCOMPARE(import.slips[0].fields[PayerPostcode], u"00184"_s);
    QCOMPARE(import.slips[0].date, std::optional(QDate(2026, 3, 5)));
    QCOMPARE(import.slips[1].fields[Amount], u"35,00"_s);
    QCOMPARE(import.slips[1].fields[AccountNumber], u"001012345678"_s);
    // The ten-digit account from a numeric cell is flagged; the twelve-digit one is not.
    QCOMPARE(import.notices.size(), 1);
    QCOMPARE(import.notices[0].row, 2);
    QCOMPARE(import.notices[0].column, u"Conto"_s);
    QCOMPARE(problemRows(import), (QStringList{u"4 Importo"_s, u"5 Importo"_s}));
    QVERIFY2(import.problems[0].reason.contains(u"negativo"_s), qPrintable(import.problems[0].reason));
}

void SlipSheetTest::slipsAlreadyInTheArchive()
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const StoredDateReader dates(italian);
    // The archive: Rossi saved on 5 March 2026 in English month names, Bianchi on a date nobody can read.
    const SheetImport stored =
        importOf("Nome;Importo;Modello\nRossi;10;2 frame\nBianchi;5;premarcati\n", slipKeys());
    QByteArray bytes;
    QCOMPARE(encodeSheetSlips({stored.slips[0]}, QDate(2026, 3, 5), QLocale(QLocale::English), bytes),
             Failure());
    QByteArray second;
    QCOMPARE(encodeSheetSlips({stored.slips[1]}, QDate(2026, 3, 5), italian, second), Failure());
    second.replace("05 marzo 2026", "ieri");
    const ArchiveTable archive = readArchive(bytes + second);
    QCOMPARE(archive.size(), 2);

    const SheetImport sheet = importOf("Nome;Importo;Modello;Data\n"
                                       "Rossi;10,00;2 frame;\n"            // 2: same slip, no date
                                       "Rossi;10;premarcati;\n"            // 3: another model
                                       "Rossi;10;2 frame;05/03/2026\n"     // 4: same day, other form
                                       "Rossi;10;2 frame;06/03/2026\n"     // 5: another day
                                       "Rossi;11;2 frame;\n"               // 6: another amount
                                       "Bianchi;5;premarcati;01/01/2020\n" // 7: unreadable saved date
                                       "rossi;10;2 frame;\n",
                                       slipKeys()); // 8: letter case counts
    QCOMPARE(sheet.slips.size(), 7);
    const QList<qsizetype> already = slipsAlreadyStored(sheet.slips, archive, dates);
    QStringList rows;
    for (const qsizetype index : already)
        rows.append(QString::number(sheet.slips[index].row));
    QCOMPARE(rows, (QStringList{u"2"_s, u"4"_s, u"7"_s}));
    QCOMPARE(slipsAlreadyStored(sheet.slips, {}, dates), QList<qsizetype>());
}

// A row like a stored slip of the same payer in all but one or two values is similar, and says what
// differs; three values, another payer or the very same slip are not.
void SlipSheetTest::slipsAlmostInTheArchive()
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const StoredDateReader dates(italian);
    const SheetImport stored = importOf("Nome;Importo;Conto;Causale\nRossi;35,50;1234;Quota\n");
    QByteArray bytes;
    QCOMPARE(encodeSheetSlips(stored.slips, QDate(2026, 3, 5), italian, bytes), Failure());
    const ArchiveTable archive = readArchive(bytes);

    const SheetImport sheet = importOf("Nome;Importo;Conto;Causale;Modello\n"
                                       "Rossi;35,50;1234;Quota;\n"             // 2: the same slip
                                       "Rossi;40;1234;Quota;\n"                // 3: the amount
                                       "Rossi;40;1234;Quota 2027;premarcati\n" // 4: three values
                                       "Rossi;35,50;5678;Saldo;\n"             // 5: two values
                                       "Bianchi;40;1234;Quota;\n"              // 6: another payer
                                       "Rossi;35,50;1234;Quota;premarcati\n"); // 7: the model
    QCOMPARE(sheet.slips.size(), 6);
    const QList<qsizetype> held = slipsAlreadyStored(sheet.slips, archive, dates);
    QCOMPARE(held, QList<qsizetype>{0});
    QStringList texts;
    for (const SimilarSlip& similar : slipsSimilarToStored(sheet.slips, held, archive, dates))
        texts.append(similarText(similar, sheet.slips));
    QCOMPARE(texts,
             (QStringList{u"Riga 3: simile a un bollettino del 05/03/2026 (di EURO: «35,50» nell'archivio, "
                          u"«40,00» nel foglio)"_s,
                          u"Riga 5: simile a un bollettino del 05/03/2026 (nr. C/C: «1234» nell'archivio, "
                          u"«5678» nel foglio; CAUSALE: «Quota» nell'archivio, «Saldo» nel foglio)"_s,
                          u"Riga 7: simile a un bollettino del 05/03/2026 (modello diverso)"_s}));
}

void SlipSheetTest::storedSlipsFoundAsTheArchiveStreams_data()
{
    QTest::addColumn<QByteArray>("sheet");
    QTest::addColumn<bool>("emptyArchive");
    QTest::addColumn<QStringList>("heldRows");
    QTest::addColumn<QStringList>("similar");

    const QByteArray header = "Nome;Importo;Conto;Causale;Data\n";
    QTest::newRow("the same sheet again: stored, and not similar to the other amount")
        << header + "Rossi;35,50;1234;Quota;05/03/2026\nVerdi;10;1234;Quota;\n"
        << false << QStringList{u"2"_s, u"3"_s} << QStringList();
    QTest::newRow("the amount changed: the later of two similar slips named")
        << header + "Rossi;41;1234;Quota;\n"
        << false << QStringList()
        << QStringList{u"Riga 2: simile a un bollettino del 06/03/2026 (di EURO: «40,00» nell'archivio, "
                       u"«41,00» nel foglio)"_s};
    QTest::newRow("another day: not stored, similar to the other amount")
        << header + "Rossi;35,50;1234;Quota;07/03/2026\n"
        << false << QStringList()
        << QStringList{u"Riga 2: simile a un bollettino del 06/03/2026 (di EURO: «40,00» nell'archivio, "
                       u"«35,50» nel foglio)"_s};
    QTest::newRow("three values changed") << header + "Rossi;41;9999;Saldo;\n"
                                          << false << QStringList() << QStringList();
    QTest::newRow("another payer") << header + "Bianchi;35,50;1234;Quota;\n"
                                   << false << QStringList() << QStringList();
    QTest::newRow("another payer of the same length and last letter")
        << header + "Russi;35,50;1234;Quota;\n"
        << false << QStringList() << QStringList();
    QTest::newRow("a payer of 71 letters, stored")
        << header + "Associazione Nazionale Pensionati della Provincia di Alessandria e Asti;10;1234;Quota;\n"
        << false << QStringList{u"2"_s} << QStringList();
    QTest::newRow("another payer of 71 letters, one letter apart in the middle")
        << header + "Associazione Nazionale Pensionati della Provincia di Alessandria o Asti;10;1234;Quota;\n"
        << false << QStringList() << QStringList();
    QTest::newRow("empty archive") << header + "Rossi;35,50;1234;Quota;\n"
                                   << true << QStringList() << QStringList();
}

// The sheet checked against the stored slips as the archive file is read in pieces of a few bytes finds
// what the check over the whole table finds: the slips stored already, and the similar ones but those.
void SlipSheetTest::storedSlipsFoundAsTheArchiveStreams()
{
    QFETCH(QByteArray, sheet);
    QFETCH(bool, emptyArchive);
    QFETCH(QStringList, heldRows);
    QFETCH(QStringList, similar);
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const StoredDateReader dates(italian);
    QByteArray bytes;
    if (!emptyArchive) {
        const SheetImport stored = importOf("Nome;Importo;Conto;Causale;Data\n"
                                            "Rossi;35,50;1234;Quota;05/03/2026\n"
                                            "Rossi;40;1234;Quota;06/03/2026\n"
                                            "Verdi;10;1234;Quota;05/03/2026\n"
                                            "Associazione Nazionale Pensionati della Provincia di "
                                            "Alessandria e Asti;10;1234;Quota;05/03/2026\n");
        QCOMPARE(encodeSheetSlips(stored.slips, QDate(2026, 3, 9), italian, bytes), Failure());
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(u"fillcp.dll"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();

    const SheetImport import = importOf(sheet);
    QVERIFY2(import.problems.isEmpty(), qPrintable(problemText(import.problems.value(0))));
    StoredSlipCheck check(import.slips, dates);
    SlipArchive archive(path);
    archive.setReadPiece(5);
    QCOMPARE(archive.forEachRecord([&check](const SlipRecord& record) { check.add(record); }), Failure());
    const QList<qsizetype> held = check.alreadyStored();
    QStringList rows;
    for (const qsizetype index : held)
        rows.append(QString::number(import.slips[index].row));
    QCOMPARE(rows, heldRows);
    QStringList texts;
    for (const SimilarSlip& entry : check.similarToStored(held))
        texts.append(similarText(entry, import.slips));
    QCOMPARE(texts, similar);

    const ArchiveTable table = readArchive(bytes);
    QCOMPARE(slipsAlreadyStored(import.slips, table, dates), held);
    QStringList fromTable;
    for (const SimilarSlip& entry : slipsSimilarToStored(import.slips, held, table, dates))
        fromTable.append(similarText(entry, import.slips));
    QCOMPARE(fromTable, similar);
}

void SlipSheetTest::exportReadsBack()
{
    // Two saved records with everything the CSV must quote or keep: separators, quotes, spaces,
    // accents, the euro sign, a greyed check box, neither model chosen. Both have an amount and an
    // account, without which no slip comes from a sheet.
    const QStringList first = {u"07 dicembre 2026"_s,
                               u"Rossi; Mario"_s,
                               u"Via \"Roma\" 1"_s,
                               u"00100"_s,
                               u"Città"_s,
                               u"1234,56"_s,
                               u"milleduecentotrentaquattro/56"_s,
                               u"Ente, \u20AC acque"_s,
                               QString(),
                               u"Ufficio"_s,
                               u"00012345"_s,
                               u"Quota \u2013 2027"_s,
                               u"123"_s,
                               u"True"_s,
                               u"False"_s,
                               u"0"_s};
    const QStringList second = {u"01 gennaio 2027"_s,
                                u"Anna"_s,
                                QString(),
                                QString(),
                                QString(),
                                u"0,50"_s,
                                u"/50"_s,
                                QString(),
                                QString(),
                                QString(),
                                u"1234"_s,
                                QString(),
                                QString(),
                                u"False"_s,
                                u"False"_s,
                                u"2"_s};
    const QList<SlipRecord> records = {*SlipRecord::fromColumns(first), *SlipRecord::fromColumns(second)};
    const StoredDateReader dates{QLocale(QLocale::Italian, QLocale::Italy)};
    const QByteArray bytes = writeCsv(sheetOfRecords(records, dates));

    // As LibreOffice and Excel open it: byte order mark, semicolons, CR LF.
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                             "Data;Nome;Indirizzo;CAP;Citt\xC3\xA0;Importo;"));
    QVERIFY(bytes.contains("\r\n07/12/2026;\"Rossi; Mario\";\"Via \"\"Roma\"\" 1\";00100;"));
    QCOMPARE(bytes.count("\r\n"), 3);

    const SheetImport import = importOf(bytes);
    QCOMPARE(import.ignoredColumns, QStringList());
    QCOMPARE(import.problems.size(), 0);
    QCOMPARE(import.slips.size(), 2);
    for (int r = 0; r < 2; ++r) {
        const QStringList& columns = r == 0 ? first : second;
        for (int field = 0; field < SlipFieldCount; ++field)
            QCOMPARE(import.slips[r].fields[field], columns[FirstFieldColumn + field]);
    }
    QCOMPARE(import.slips[0].state, (PaletteState{true, false, CheckBoxState::Unticked}));
    QCOMPARE(import.slips[1].state, (PaletteState{false, false, CheckBoxState::Greyed}));
    QCOMPARE(import.slips[0].date, std::optional(QDate(2026, 12, 7)));
    QCOMPARE(import.slips[1].date, std::optional(QDate(2027, 1, 1)));

    // Stored again in the archive's own form, they are the same records.
    QByteArray stored;
    QCOMPARE(
        encodeSheetSlips(import.slips, QDate(2030, 1, 1), QLocale(QLocale::Italian, QLocale::Italy), stored),
        Failure());
    const ArchiveTable back = readArchive(stored);
    QCOMPARE(back.size(), 2);
    QCOMPARE(back[0].columns(), first);
    QCOMPARE(back[1].columns(), second);
}

void SlipSheetTest::largeSheetUnderMemoryLimit_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("slips");

    // 20 MB of rows with nothing in them: once read as a list of strings a row, they took 65 times
    // the file.
    QTest::newRow("a separator a row") << QByteArray(";\n") << 0;
    QTest::newRow("a full row of separators, CR LF") << QByteArray(";;;;;;;;;;;;;;\r\n") << 0;
    QTest::newRow("spaces in the cells") << QByteArray("   ;  \n") << 0;
    QTest::newRow("empty quoted cells") << QByteArray("\"\";\"\"\n") << 0;
}

void SlipSheetTest::largeSheetUnderMemoryLimit()
{
#if defined(CEDOLARIO_ASAN)
    QSKIP("AddressSanitizer reserves terabytes of address space: no address-space limit applies");
#elif defined(Q_OS_WIN)
    QSKIP("the child with a bounded address space is a POSIX process (fork, setrlimit)");
#else
    QFETCH(QByteArray, line);
    QFETCH(int, slips);
    constexpr qsizetype FileBytes = qsizetype(20) << 20;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(u"grande.csv"_s);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray bytes("Nome;Importo\n");
        bytes += line.repeated(FileBytes / line.size());
        QCOMPARE(file.write(bytes), bytes.size());
    }

    // In a child whose address space may grow by five times the file beyond what it holds already: a
    // failed allocation ends it with a signal, a wrong count with exit status 1.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        QFile statm(u"/proc/self/statm"_s);
        if (!statm.open(QIODevice::ReadOnly))
            ::_exit(3);
        const qint64 pages = statm.readAll().split(' ').value(0).toLongLong();
        const rlim_t limit = rlim_t(pages * ::sysconf(_SC_PAGESIZE) + 5 * FileBytes);
        const rlimit bound{limit, limit};
        if (pages <= 0 || ::setrlimit(RLIMIT_AS, &bound) != 0)
            ::_exit(3);
        SheetImport import;
        ::_exit(!readSheetFile(path, import) && import.slips.size() == slips && import.refusedRows == 0 ? 0
                                                                                                        : 1);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY2(!WIFSIGNALED(status), qPrintable(u"the reading ended with signal %1"_s.arg(WTERMSIG(status))));
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
#endif
}

QTEST_GUILESS_MAIN(SlipSheetTest)
#include "SlipSheetTest.moc"
