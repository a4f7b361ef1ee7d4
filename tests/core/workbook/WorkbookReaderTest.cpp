// SPDX-License-Identifier: GPL-3.0-or-later

// Workbooks read cell by cell: the files LibreOffice writes, .xlsx and .ods cells, and hostile packages
// refused with a reason. The numbers and their formats are NumberFormatTest's.
#include "core/workbook/WorkbookReader.h"

#include "FailureCompare.h"

#include "WorkbookParts.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SheetCellKind)
Q_DECLARE_METATYPE(WorkbookKind)

namespace {

QByteArray fixture(const QString& name)
{
    QFile file(QStringLiteral(WORKBOOK_DATA_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    return file.readAll();
}

// Every row of the first sheet, and the text of the reader's failure, if any.
QList<SheetRow> rowsOf(const QByteArray& bytes, QString& error, const QString& sheet = {})
{
    QList<SheetRow> rows;
    WorkbookReader reader;
    Failure failure = reader.open(bytes);
    if (!failure)
        failure = reader.selectSheet(sheet);
    SheetRow row;
    for (bool more = !failure; more;) {
        failure = reader.next(row, more);
        if (more)
            rows.append(row);
    }
    error = failure.text();
    return rows;
}

SheetCell cellAt(const QList<SheetRow>& rows, int rowNumber, int column)
{
    for (const SheetRow& row : rows) {
        if (row.row == rowNumber)
            return row.cells.value(column);
    }
    return {};
}

} // namespace

class WorkbookReaderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void libreOfficeFiles_data();
    void libreOfficeFiles();
    void libreOfficeRowsAndSheets_data();
    void libreOfficeRowsAndSheets();
    void xlsxCells_data();
    void xlsxCells();
    void odsCells_data();
    void odsCells();
    void hostileFiles_data();
    void hostileFiles();
    void kindAgreesWithReader_data();
    void kindAgreesWithReader();
    void repeatsAreNotMaterialised();
};

void WorkbookReaderTest::libreOfficeFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<SheetCellKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QDate>("date");
    const QDate none;
    // What formati.fods holds, as LibreOffice saved it. The .ods keeps the text LibreOffice showed
    // (it saved in an English locale: "35.00"); the .xlsx holds no shown text, its formats are
    // applied the Italian way.
    for (const QString& file : {u"formati.xlsx"_s, u"formati.ods"_s}) {
        const bool ods = file.endsWith(u".ods");
        auto row = [&](const char* name) -> QTestData& {
            return QTest::newRow(qPrintable(file + u": "_s + QLatin1StringView(name))) << file;
        };
        row("header") << 1 << 3 << SheetCellKind::Text << u"Importo"_s << QString() << none;
        row("postcode 00000") << 2 << 1 << SheetCellKind::Number << u"00184"_s << u"184"_s << none;
        row("account of twelve digits")
            << 2 << 2 << SheetCellKind::Number << u"001012345678"_s << u"1012345678"_s << none;
        row("amount 0.00") << 2 << 3 << SheetCellKind::Number << (ods ? u"35.00"_s : u"35,00"_s) << u"35"_s
                           << none;
        row("date") << 2 << 4 << SheetCellKind::Date << u"05/03/2026"_s << QString() << QDate(2026, 3, 5);
        row("percent") << 2 << 6 << SheetCellKind::Number << u"13%"_s << u"0.125"_s << none;
        row("double space kept") << 3 << 0 << SheetCellKind::Text << u"Anna  Bianchi"_s << QString() << none;
        row("postcode as text") << 3 << 1 << SheetCellKind::Text << u"00184"_s << QString() << none;
        row("account as text") << 3 << 2 << SheetCellKind::Text << u"001012345678"_s << QString() << none;
        row("amount with thousands") << 3 << 3 << SheetCellKind::Number
                                     << (ods ? u"1,234.50"_s : u"1.234,50"_s) << u"1234.5"_s << none;
        row("leap day") << 3 << 4 << SheetCellKind::Date << u"29/02/2000"_s << QString()
                        << QDate(2000, 2, 29);
        row("two paragraphs") << 3 << 5 << SheetCellKind::Text << u"prima riga\nsecondariga"_s << QString()
                              << none;
        row("styled run") << 4 << 0 << SheetCellKind::Text << u"Ditta Verdi srl"_s << QString() << none;
        row("General number") << 4 << 1 << SheetCellKind::Number << u"20121"_s << u"20121"_s << none;
        row("empty cell in between") << 4 << 2 << SheetCellKind::Text << QString() << QString() << none;
        row("negative in red") << 4 << 3 << SheetCellKind::Number << (ods ? u"-12.50"_s : u"-12,50"_s)
                               << u"-12.5"_s << none;
        row("euro") << 4 << 5 << SheetCellKind::Number << (ods ? u"€ 35.00"_s : u"€ 35,00"_s) << u"35"_s
                    << none;
        row("formula's value") << 4 << 6 << SheetCellKind::Number << u"70"_s << u"70"_s << none;
        row("repeated row, last copy") << 7 << 2 << SheetCellKind::Number << u"7"_s << u"7"_s << none;
        row("merged cell's value") << 8 << 0 << SheetCellKind::Text << u"Unite"_s << QString() << none;
        row("merged cell's hidden part") << 8 << 1 << SheetCellKind::Text << QString() << QString() << none;
        row("after the merge") << 8 << 2 << SheetCellKind::Text << u"dopo"_s << QString() << none;
        row("half a cent rounds up") << 11 << 3 << SheetCellKind::Number << (ods ? u"0.01"_s : u"0,01"_s)
                                     << u"0.005"_s << none;
    }
}

void WorkbookReaderTest::libreOfficeFiles()
{
    QFETCH(QString, file);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(SheetCellKind, kind);
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QDate, date);
    QString error;
    const QList<SheetRow> rows = rowsOf(fixture(file), error);
    QCOMPARE(error, QString());
    const SheetCell cell = cellAt(rows, row, column);
    QCOMPARE(cell.kind, kind);
    QCOMPARE(cell.text, text);
    QCOMPARE(cell.number, number);
    QCOMPARE(cell.date, date);
}

void WorkbookReaderTest::libreOfficeRowsAndSheets_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("xlsx") << u"formati.xlsx"_s;
    QTest::newRow("ods") << u"formati.ods"_s;
}

void WorkbookReaderTest::libreOfficeRowsAndSheets()
{
    QFETCH(QString, file);
    WorkbookReader reader;
    QCOMPARE(reader.open(fixture(file)), Failure());
    QCOMPARE(reader.sheetNames(), (QStringList{u"Bollettini"_s, u"Secondo foglio"_s}));
    QCOMPARE(reader.selectSheet(QString()), Failure());
    QList<int> numbers;
    QList<int> sizes;
    SheetRow row;
    bool more = true;
    while (more) {
        QCOMPARE(reader.next(row, more), Failure());
        if (more) {
            numbers.append(row.row);
            sizes.append(int(row.cells.size()));
        }
    }
    // Rows 9 and 10 are empty; trailing empty cells are not given.
    QCOMPARE(numbers, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 11}));
    QCOMPARE(sizes, (QList<int>{7, 7, 7, 7, 3, 3, 3, 3, 4}));

    QCOMPARE(reader.selectSheet(u"secondo FOGLIO"_s), Failure());
    QCOMPARE(reader.next(row, more), Failure());
    QVERIFY(more);
    QCOMPARE(row.cells.value(0).text, u"Solo qui"_s);
    QCOMPARE(reader.next(row, more), Failure());
    QVERIFY(!more);

    QCOMPARE(reader.selectSheet(u"Terzo"_s).text(),
             u"Il foglio «Terzo» non c'è: i fogli del file sono «Bollettini», «Secondo foglio»."_s);
}

void WorkbookReaderTest::xlsxCells_data()
{
    QTest::addColumn<QByteArray>("cell"); // one <c> in A1
    QTest::addColumn<bool>("system1904");
    QTest::addColumn<SheetCellKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QDate>("date");
    const QDate none;
    QTest::newRow("exponent kept exact") << QByteArray(R"(<c r="A1"><v>1.2345E3</v></c>)") << false
                                         << SheetCellKind::Number << u"1234,5"_s << u"1234.5"_s << none;
    QTest::newRow("postcode style") << QByteArray(R"(<c r="A1" s="1"><v>184</v></c>)") << false
                                    << SheetCellKind::Number << u"00184"_s << u"184"_s << none;
    QTest::newRow("built-in date style")
        << QByteArray(R"(<c r="A1" s="2"><v>46086</v></c>)") << false << SheetCellKind::Date
        << u"05/03/2026"_s << QString() << QDate(2026, 3, 5);
    QTest::newRow("date with a time of day")
        << QByteArray(R"(<c r="A1" s="2"><v>46086.75</v></c>)") << false << SheetCellKind::Date
        << u"05/03/2026"_s << QString() << QDate(2026, 3, 5);
    QTest::newRow("1904 system") << QByteArray(R"(<c r="A1" s="2"><v>44624</v></c>)") << true
                                 << SheetCellKind::Date << u"05/03/2026"_s << QString() << QDate(2026, 3, 5);
    QTest::newRow("the false leap day stays a number")
        << QByteArray(R"(<c r="A1" s="2"><v>60</v></c>)") << false << SheetCellKind::Number << u"60"_s
        << u"60"_s << none;
    QTest::newRow("negative serial stays a number") << QByteArray(R"(<c r="A1" s="2"><v>-1</v></c>)") << false
                                                    << SheetCellKind::Number << u"-1"_s << u"-1"_s << none;
    QTest::newRow("unknown style is General") << QByteArray(R"(<c r="A1" s="99"><v>7.5</v></c>)") << false
                                              << SheetCellKind::Number << u"7,5"_s << u"7.5"_s << none;
    QTest::newRow("shared rich text, phonetic guide left out")
        << QByteArray(R"(<c r="A1" t="s"><v>1</v></c>)") << false << SheetCellKind::Text << u"Ditta Verdi"_s
        << QString() << none;
    QTest::newRow("shared text with an escaped character")
        << QByteArray(R"(<c r="A1" t="s"><v>2</v></c>)") << false << SheetCellKind::Text << u"a\rb"_s
        << QString() << none;
    QTest::newRow("inline text") << QByteArray(R"(<c r="A1" t="inlineStr"><is><t>Via Roma 1</t></is></c>)")
                                 << false << SheetCellKind::Text << u"Via Roma 1"_s << QString() << none;
    QTest::newRow("formula's text") << QByteArray(R"(<c r="A1" t="str"><f>A2&amp;"x"</f><v>00184x</v></c>)")
                                    << false << SheetCellKind::Text << u"00184x"_s << QString() << none;
    QTest::newRow("formula's number")
        << QByteArray(R"(<c r="A1" s="3"><f>1/3</f><v>0.333333333333333</v></c>)") << false
        << SheetCellKind::Number << u"0,33"_s << u"0.333333333333333"_s << none;
    QTest::newRow("boolean") << QByteArray(R"(<c r="A1" t="b"><v>1</v></c>)") << false << SheetCellKind::Text
                             << u"VERO"_s << QString() << none;
    QTest::newRow("error value") << QByteArray(R"(<c r="A1" t="e"><v>#DIV/0!</v></c>)") << false
                                 << SheetCellKind::Text << u"#DIV/0!"_s << QString() << none;
    QTest::newRow("ISO date cell") << QByteArray(R"(<c r="A1" t="d"><v>2026-03-05T00:00:00</v></c>)") << false
                                   << SheetCellKind::Date << u"05/03/2026"_s << QString()
                                   << QDate(2026, 3, 5);
    QTest::newRow("text style on a text") << QByteArray(R"(<c r="A1" s="4" t="s"><v>0</v></c>)") << false
                                          << SheetCellKind::Text << u"001012345678"_s << QString() << none;
}

void WorkbookReaderTest::xlsxCells()
{
    QFETCH(QByteArray, cell);
    QFETCH(bool, system1904);
    QFETCH(SheetCellKind, kind);
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QDate, date);
    const QByteArray strings =
        R"(<si><t>001012345678</t></si>)"
        R"(<si><r><rPr><b/></rPr><t>Ditta </t></r><r><t>Verdi</t></r><rPh><t>XX</t></rPh></si>)"
        R"(<si><t>a_x000D_b</t></si>)";
    QString error;
    const QList<SheetRow> rows =
        rowsOf(xlsxOf(R"(<row r="1">)" + cell + "</row>", system1904, strings), error);
    QCOMPARE(error, QString());
    QCOMPARE(rows.size(), 1);
    const SheetCell got = rows.first().cells.value(0);
    QCOMPARE(got.kind, kind);
    QCOMPARE(got.text, text);
    QCOMPARE(got.number, number);
    QCOMPARE(got.date, date);
}

void WorkbookReaderTest::odsCells_data()
{
    QTest::addColumn<QByteArray>("cell"); // the first cell of the first row
    QTest::addColumn<SheetCellKind>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QDate>("date");
    const QDate none;
    QTest::newRow("spaces, tab and line break")
        << QByteArray(
               R"(<table:table-cell office:value-type="string"><text:p>a<text:s text:c="3"/>b<text:tab/>c<text:line-break/>d</text:p></table:table-cell>)")
        << SheetCellKind::Text << u"a   b\tc\nd"_s << QString() << none;
    QTest::newRow("a note is not the cell's text")
        << QByteArray(
               R"(<table:table-cell office:value-type="string"><office:annotation><text:p>nota</text:p></office:annotation><text:p>testo</text:p></table:table-cell>)")
        << SheetCellKind::Text << u"testo"_s << QString() << none;
    QTest::newRow("number without shown text")
        << QByteArray(R"(<table:table-cell office:value-type="float" office:value="1.2345E3"/>)")
        << SheetCellKind::Number << u"1234,5"_s << u"1234.5"_s << none;
    QTest::newRow("date with a time")
        << QByteArray(
               R"(<table:table-cell office:value-type="date" office:date-value="2026-03-05T10:30:00"><text:p>05/03/26</text:p></table:table-cell>)")
        << SheetCellKind::Date << u"05/03/26"_s << QString() << QDate(2026, 3, 5);
    QTest::newRow("boolean without text")
        << QByteArray(R"(<table:table-cell office:value-type="boolean" office:boolean-value="false"/>)")
        << SheetCellKind::Text << u"FALSO"_s << QString() << none;
    QTest::newRow("a huge run of spaces is bounded")
        << QByteArray(
               R"(<table:table-cell office:value-type="string"><text:p>x<text:s text:c="2000000000"/>y</text:p></table:table-cell>)")
        << SheetCellKind::Text << u"x"_s + QString(1024, u' ') + u"y"_s << QString() << none;
}

void WorkbookReaderTest::odsCells()
{
    QFETCH(QByteArray, cell);
    QFETCH(SheetCellKind, kind);
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QDate, date);
    QString error;
    const QList<SheetRow> rows = rowsOf(odsOf("<table:table-row>" + cell + "</table:table-row>"), error);
    QCOMPARE(error, QString());
    QCOMPARE(rows.size(), 1);
    const SheetCell got = rows.first().cells.value(0);
    QCOMPARE(got.kind, kind);
    QCOMPARE(got.text, text);
    QCOMPARE(got.number, number);
    QCOMPARE(got.date, date);
}

void WorkbookReaderTest::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error"); // the start of the message
    QTest::newRow("not a zip")
        << QByteArray("Nome;Importo\nRossi;35\n")
        << u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile."_s;
    QTest::newRow("a zip cut short") << xlsxOf(R"(<row r="1"><c r="A1"><v>1</v></c></row>)").left(200)
                                     << u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio "
                                        u"zip leggibile (manca il record "
                                        u"finale dell'indice, forse il file è troncato)."_s;
    QTest::newRow("an old .xls") << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 and more")
                                 << u"Il file è un foglio di Excel 97-2003 (.xls)"_s;
    // Saved with a password: LibreOffice encrypts the parts of an .ods and says so in its manifest;
    // Office wraps an encrypted .xlsx in a compound file beside its "EncryptionInfo" stream.
    QTest::newRow("a password-protected .ods")
        << zipOf(
               {{u"mimetype"_s, "application/vnd.oasis.opendocument.spreadsheet", true},
                {u"META-INF/manifest.xml"_s,
                 R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
                 R"(<manifest:file-entry manifest:full-path="content.xml"><manifest:encryption-data/>)"
                 R"(</manifest:file-entry></manifest:manifest>)"},
                {u"content.xml"_s, QByteArray("\x8f\x03\xa1 encrypted bytes"), true}})
        << u"Il file è protetto da password e non si può leggere"_s;
    QTest::newRow("a password-protected .xlsx")
        << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + QByteArray(500, '\0') +
               QByteArray("E\0n\0c\0r\0y\0p\0t\0i\0o\0n\0I\0n\0f\0o\0", 28)
        << u"Il file è protetto da password e non si può leggere"_s;
    QTest::newRow("a zip of something else")
        << zipOf({{u"leggimi.txt"_s, "ciao"}})
        << u"Il file è un archivio zip ma non un foglio di lavoro .xlsx o .ods."_s;
    QTest::newRow("workbook part missing")
        << zipOf({{u"[Content_Types].xml"_s, ContentTypes}})
        << u"Il foglio di lavoro è danneggiato: la parte xl/_rels/workbook.xml.rels manca."_s;
    QTest::newRow("sheet part missing")
        << zipOf({{u"[Content_Types].xml"_s, ContentTypes},
                  {u"xl/workbook.xml"_s, workbookXml(false)},
                  {u"xl/_rels/workbook.xml.rels"_s, WorkbookRels},
                  {u"xl/styles.xml"_s, Styles},
                  {u"xl/sharedStrings.xml"_s, "<sst/>"}})
        << u"Il foglio di lavoro è danneggiato: la parte xl/worksheets/sheet1.xml manca."_s;
    QTest::newRow("broken XML")
        << xlsxOf(R"(<row r="1"><c r="A1"><v>1</v></row>)")
        << u"Il foglio di lavoro è danneggiato: la parte xl/worksheets/sheet1.xml non è XML valido"_s;
    QTest::newRow("shared text that is not there")
        << xlsxOf(R"(<row r="1"><c r="A1" t="s"><v>5</v></c></row>)")
        << u"Il foglio di lavoro è danneggiato: la parte xl/worksheets/sheet1.xml nomina un testo che non c'è (5)."_s;
    QTest::newRow("not a number")
        << xlsxOf(R"(<row r="1"><c r="A1"><v>1,5</v></c></row>)")
        << u"Il foglio di lavoro è danneggiato: la parte xl/worksheets/sheet1.xml ha un numero non valido «1,5»."_s;
    QTest::newRow("a value in the last column") << xlsxOf(R"(<row r="3"><c r="XFD3"><v>1</v></c></row>)")
                                                << u"La riga 3 del foglio ha valori oltre la colonna AMJ"_s;
    QTest::newRow("a value repeated over all columns")
        << odsOf(
               R"(<table:table-row><table:table-cell table:number-columns-repeated="16384" office:value-type="float" office:value="1"/></table:table-row>)")
        << u"La riga 1 del foglio ha valori oltre la colonna AMJ"_s;
    // Counts of repeats and row numbers that no sum of them may overflow.
    QTest::newRow("a value after more empty rows than a sheet has")
        << odsOf(
               R"(<table:table-row table:number-rows-repeated="9223372036854775807"><table:table-cell/></table:table-row>)"
               R"(<table:table-row table:number-rows-repeated="9223372036854775807"><table:table-cell/></table:table-row>)"
               R"(<table:table-row><table:table-cell office:value-type="float" office:value="1"/></table:table-row>)")
        << u"Il foglio ha valori oltre la riga 100000000"_s;
    QTest::newRow("a value after more empty cells than a row has")
        << odsOf(
               R"(<table:table-row><table:covered-table-cell table:number-columns-repeated="9223372036854775807"/>)"
               R"(<table:table-cell table:number-columns-repeated="9223372036854775807"/>)"
               R"(<table:table-cell office:value-type="float" office:value="1"/></table:table-row>)")
        << u"La riga 1 del foglio ha valori oltre la colonna AMJ"_s;
    QTest::newRow("a value after the largest row number")
        << xlsxOf(R"(<row r="2147483647"/><row><c r="A1"><v>1</v></c></row>)")
        << u"Il foglio ha valori oltre la riga 100000000"_s;
    // A sheet that declares 600 MiB: refused on the declared size, before anything is unpacked. The
    // data are a few bytes, so a reader that trusted them instead would report a size mismatch.
    QTest::newRow("zip bomb") << declaringSize(odsOf({}), u"content.xml"_s, 600u << 20)
                              << u"Il foglio di lavoro decompresso supera 512 MB"_s;
    QByteArray corrupt = zipOf({{u"mimetype"_s, "application/vnd.oasis.opendocument.spreadsheet", true},
                                {u"content.xml"_s, "<a>" + QByteArray(100, 'x') + "</a>", true}});
    corrupt[corrupt.indexOf("xxxxxxxx")] = 'y'; // stored, so the CRC no longer matches
    QTest::newRow("bad checksum")
        << corrupt
        << u"Il foglio di lavoro è danneggiato: la parte content.xml non supera il controllo (CRC)."_s;
}

void WorkbookReaderTest::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QString got;
    const QList<SheetRow> rows = rowsOf(bytes, got);
    QVERIFY2(got.startsWith(error), qPrintable(got));
    QVERIFY(rows.isEmpty());
}

// The kind the import asks about before choosing a reader and the kind the reader opens by are one
// rule: a package that mixes the two formats' parts, or lacks one, gets the same answer from both.
void WorkbookReaderTest::kindAgreesWithReader_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<WorkbookKind>("kind");
    QTest::addColumn<QString>("error"); // the start of the reader's message; empty: it opens
    const QByteArray content = odsContentOf("<table:table-row><table:table-cell/></table:table-row>");
    QTest::newRow(".ods parts beside .xlsx content types")
        << zipOf({{u"[Content_Types].xml"_s, ContentTypes}, {u"content.xml"_s, content}}) << WorkbookKind::Ods
        << QString();
    QTest::newRow(".xlsx workbook part without content types")
        << zipOf({{u"xl/workbook.xml"_s, workbookXml(false)}}) << WorkbookKind::Xlsx
        << u"Il foglio di lavoro è danneggiato: la parte xl/_rels/workbook.xml.rels manca."_s;
    QTest::newRow("OpenDocument type named first, content missing")
        << zipOf({{u"mimetype"_s, "application/vnd.oasis.opendocument.spreadsheet", true},
                  {u"styles.xml"_s, "<x/>"}})
        << WorkbookKind::Ods << u"Il foglio di lavoro è danneggiato: la parte content.xml manca."_s;
    QByteArray flat = content;
    flat.replace("office:document-content", "office:document")
        .replace("<office:document ",
                 "<office:document office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\" ");
    QTest::newRow("flat OpenDocument") << flat << WorkbookKind::Ods << QString();
    QTest::newRow("zip of something else")
        << zipOf({{u"leggimi.txt"_s, "ciao"}}) << WorkbookKind::None
        << u"Il file è un archivio zip ma non un foglio di lavoro .xlsx o .ods."_s;
}

void WorkbookReaderTest::kindAgreesWithReader()
{
    QFETCH(QByteArray, bytes);
    QFETCH(WorkbookKind, kind);
    QFETCH(QString, error);
    QCOMPARE(workbookKindOf(bytes), kind);
    WorkbookReader reader;
    const Failure failure = reader.open(bytes);
    QCOMPARE(!failure, error.isEmpty());
    QVERIFY2(failure.text().startsWith(error), qPrintable(failure.text()));
    if (error.isEmpty())
        QCOMPARE(reader.sheetNames(), QStringList{u"Dati"_s});
}

void WorkbookReaderTest::repeatsAreNotMaterialised()
{
    // What LibreOffice writes to the end of a sheet: empty cells and rows repeated to the last column and
    // row. Only the values come out, each row with its number.
    const QByteArray rows =
        R"(<table:table-row><table:table-cell office:value-type="string"><text:p>Nome</text:p></table:table-cell>)"
        R"(<table:table-cell table:number-columns-repeated="16383"/></table:table-row>)"
        R"(<table:table-row table:number-rows-repeated="1048574"><table:table-cell table:number-columns-repeated="16384"/></table:table-row>)"
        R"(<table:table-row><table:table-cell table:number-columns-repeated="2"/><table:table-cell office:value-type="string"><text:p>fine</text:p></table:table-cell>)"
        R"(<table:table-cell table:number-columns-repeated="16381"/></table:table-row>)";
    QString error;
    const QList<SheetRow> got = rowsOf(odsOf(rows), error);
    QCOMPARE(error, QString());
    QCOMPARE(got.size(), 2);
    QCOMPARE(got[0].row, 1);
    QCOMPARE(got[0].cells.size(), 1);
    QCOMPARE(got[1].row, 1048576);
    QCOMPARE(got[1].cells.size(), 3);
    QCOMPARE(got[1].cells[2].text, u"fine"_s);

    // A value repeated down to the last row is read to there, and one row further it is refused.
    const QByteArray toTheEnd =
        R"(<table:table-row table:number-rows-repeated="99999998"><table:table-cell/></table:table-row>)"
        R"(<table:table-row table:number-rows-repeated="3"><table:table-cell office:value-type="float" office:value="1"/></table:table-row>)";
    const QList<SheetRow> last = rowsOf(odsOf(toTheEnd), error);
    QVERIFY2(error.startsWith(u"Il foglio ha valori oltre la riga 100000000"_s), qPrintable(error));
    QCOMPARE(last.size(), 2);
    QCOMPARE(last[1].row, WorkbookReader::MaxRows);
}

QTEST_GUILESS_MAIN(WorkbookReaderTest)
#include "WorkbookReaderTest.moc"
