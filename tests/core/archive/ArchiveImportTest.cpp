// SPDX-License-Identifier: GPL-3.0-or-later

// Many slips into the archive at once: the good rows of a spreadsheet in one all-or-nothing step, the
// records of another archive merged without duplicates, and the list's search over them.
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/ArchiveSearch.h"
#include "core/archive/SlipArchive.h"
#include "core/archive/Windows1252.h"
#include "core/sheet/SlipSheet.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A record as a deletion rewrites it: marker, date, name, and the other values.
QByteArray record(const QByteArray& date, const QByteArray& name, const QByteArray& payee,
                  const QByteArray& amount)
{
    return Marker + "\r\n" + date + "\r\n" + name + "\r\n\r\n\r\n\r\n" + amount + "\r\n\r\n" + payee +
           "\r\n\r\n\r\n1234\r\nQuota sociale\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
}

} // namespace

class ArchiveImportTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void sheetRowsGoInTogether();
    void sheetRowsOnAFullDiskLeaveTheArchive();
    void mergeSkipsIdenticalRecords();
    void mergeComparesDatesByDay_data();
    void mergeComparesDatesByDay();
    void mergeOnAFullDiskLeavesTheArchive();
    void search_data();
    void search();
    void narrowingFindsWhatAFreshSearchFinds();
    void signaturesNeverHideAMatch();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void ArchiveImportTest::init()
{
    m_path = m_dir.filePath(u"fillcp.dll"_s);
    QFile::remove(m_path);
}

void ArchiveImportTest::sheetRowsGoInTogether()
{
    write(m_path, record("01 gennaio 2026", "Primo", "Ente", "1,00"));
    const SheetImport import =
        readSlipSheet("Nome;Importo;Conto;Data\r\nAnna;12,5;1234;\r\nLuca;3,00;1234;02/03/2026\r\n");
    QCOMPARE(import.slips.size(), 2);
    QByteArray bytes;
    QString error;
    QVERIFY2(encodeSheetSlips(import.slips, QDate(2026, 12, 7), QLocale(QLocale::Italian, QLocale::Italy),
                              bytes, error),
             qPrintable(error));
    QVERIFY2(SlipArchive(m_path).append(bytes, error) == SlipArchive::WriteResult::Written,
             qPrintable(error));

    ArchiveTable table;
    QVERIFY(SlipArchive(m_path).load(table, error));
    QCOMPARE(names(table), (QStringList{u"Primo"_s, u"Anna"_s, u"Luca"_s}));
    // A row without a date is dated today; one with a date keeps it.
    QCOMPARE(table[1].column(DateColumn), u"07 dicembre 2026"_s);
    QCOMPARE(table[2].column(DateColumn), u"02 marzo 2026"_s);
    QCOMPARE(table[1].column(FirstFieldColumn + AmountWords), u"dodici/50"_s);
    // The save's own shape: one space before each value.
    QVERIFY(contents(m_path).contains("\r\n Anna\r\n"));
}

void ArchiveImportTest::sheetRowsOnAFullDiskLeaveTheArchive()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    write(m_path, record("01 gennaio 2026", "Primo", "Ente", "1,00"));
    const QByteArray before = contents(m_path);
    QByteArray sheet = "Nome;Importo;Conto\r\n";
    for (int i = 0; i < 50; ++i)
        sheet += "Socio " + QByteArray::number(i) + ";10,00;1234\r\n";
    const SheetImport import = readSlipSheet(sheet);
    QCOMPARE(import.slips.size(), 50);
    QByteArray bytes;
    QString error;
    QVERIFY2(encodeSheetSlips(import.slips, QDate(2026, 12, 7), QLocale(QLocale::Italian, QLocale::Italy),
                              bytes, error),
             qPrintable(error));

    {
        // Room for the first twenty records, not for all fifty.
        FileSizeLimit limit(before.size() + 20 * (bytes.size() / 50));
        QVERIFY(limit.active());
        QCOMPARE(SlipArchive(m_path).append(bytes, error), SlipArchive::WriteResult::Failed);
    }
    QCOMPARE(contents(m_path), before);
    QVERIFY2(error.endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(error));
}

void ArchiveImportTest::mergeSkipsIdenticalRecords()
{
    // Ours: two records. Theirs, as brought from another machine in the save's shape (spaces before
    // the values): one identical to ours, one differing only in the amount, one new, and the new one
    // a second time.
    write(m_path, record("01 gennaio 2026", "Rossi", "Ente", "1,00") +
                      record("02 gennaio 2026", "Bianchi", "Ente", "2,00"));
    QByteArray theirs;
    for (const QByteArray& r : {record("02 gennaio 2026", "Bianchi", "Ente", "2,00"),
                                record("02 gennaio 2026", "Bianchi", "Ente", "2,50"),
                                record("03 gennaio 2026", "Verdi", "Ente", "3,00"),
                                record("03 gennaio 2026", "Verdi", "Ente", "3,00")}) {
        QByteArray spaced = QByteArray(r).replace("\r\n", "\r\n ");
        spaced.chop(1); // the marker of the next record has no space before it
        theirs += spaced;
    }
    const ArchiveTable incoming = readArchive(theirs);
    QCOMPARE(incoming.size(), 4);

    SlipArchive::MergeCounts counts;
    QString error;
    QVERIFY2(SlipArchive(m_path).merge(incoming, counts, error) == SlipArchive::WriteResult::Written,
             qPrintable(error));
    QCOMPARE(counts.added, 2);
    QCOMPARE(counts.skipped, 2);
    // Bianchi 2,00 was ours already; the second Verdi repeats the first of the file.
    QCOMPARE(counts.alreadyPresent, 1);
    QCOMPARE(counts.repeatedInFile, 1);
    ArchiveTable table;
    QVERIFY(SlipArchive(m_path).load(table, error));
    QCOMPARE(names(table), (QStringList{u"Rossi"_s, u"Bianchi"_s, u"Bianchi"_s, u"Verdi"_s}));
    QCOMPARE(table[2].column(FirstFieldColumn + Amount), u"2,50"_s);

    // Merging the same archive again adds nothing.
    QCOMPARE(SlipArchive(m_path).merge(incoming, counts, error), SlipArchive::WriteResult::Written);
    QCOMPARE(counts.added, 0);
    QCOMPARE(counts.skipped, 4);
    QCOMPARE(counts.alreadyPresent, 4);
    QCOMPARE(counts.repeatedInFile, 0);
    QVERIFY(SlipArchive(m_path).load(table, error));
    QCOMPARE(table.size(), 4);
}

void ArchiveImportTest::mergeComparesDatesByDay_data()
{
    QTest::addColumn<QByteArray>("theirDate");
    QTest::addColumn<qsizetype>("added");
    QTest::newRow("the same text") << QByteArray("05 marzo 2026") << qsizetype(0);
    QTest::newRow("an English month name") << QByteArray("05 March 2026") << qsizetype(0);
    QTest::newRow("capitals and no leading zero") << QByteArray("5 MARZO 2026") << qsizetype(0);
    QTest::newRow("another day") << QByteArray("06 marzo 2026") << qsizetype(1);
    QTest::newRow("another year") << QByteArray("05 marzo 2025") << qsizetype(1);
}

// Ours was saved on an Italian system, theirs maybe elsewhere: one day is one date, however written.
void ArchiveImportTest::mergeComparesDatesByDay()
{
    QFETCH(QByteArray, theirDate);
    QFETCH(qsizetype, added);
    write(m_path, record("05 marzo 2026", "Rossi", "Ente", "1,00"));
    const ArchiveTable incoming = readArchive(record(theirDate, "Rossi", "Ente", "1,00"));
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    SlipArchive::MergeCounts counts;
    QString error;
    QCOMPARE(SlipArchive(m_path).merge(incoming, counts, error, &dates), SlipArchive::WriteResult::Written);
    QCOMPARE(counts.added, added);
    QCOMPARE(counts.alreadyPresent, 1 - added);
    ArchiveTable table;
    QVERIFY(SlipArchive(m_path).load(table, error));
    QCOMPARE(table.size(), 1 + added);
}

void ArchiveImportTest::mergeOnAFullDiskLeavesTheArchive()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    write(m_path, record("01 gennaio 2026", "Rossi", "Ente", "1,00"));
    const QByteArray before = contents(m_path);
    QByteArray theirs;
    for (int i = 0; i < 30; ++i)
        theirs += record("03 gennaio 2026", "Socio " + QByteArray::number(i), "Ente", "3,00");
    SlipArchive::MergeCounts counts;
    counts.added = -1;
    QString error;
    {
        FileSizeLimit limit(before.size() + theirs.size() / 2);
        QVERIFY(limit.active());
        QCOMPARE(SlipArchive(m_path).merge(readArchive(theirs), counts, error),
                 SlipArchive::WriteResult::Failed);
    }
    QCOMPARE(contents(m_path), before);
    QCOMPARE(counts.added, 0);
    QVERIFY2(error.endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(error));
}

void ArchiveImportTest::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("found"); // payers' names, in file order

    QTest::newRow("empty query lists everything")
        << "" << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("spaces only list everything")
        << "   " << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("part of a payer, any case") << "ROSS" << QStringList{u"Mario Rossi"_s, u"Anna Rossini"_s};
    QTest::newRow("accents typed or not") << "ferre" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("accented capital") << "FERRÈ" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("payee's third line") << "sezione" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("payee with accent typed plainly") << "universita" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("amount") << "12,5" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("date as the list shows it") << "07/12/2026" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("every word must match") << "rossi 99" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("words in any order") << "99 rossi" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("the reason") << "quota"
                                << QStringList{u"Mario Rossi"_s, u"Nicolò Ferrè"_s, u"Anna Rossini"_s};
    QTest::newRow("town without its accent") << "forli" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("address") << "emilia" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("postcode") << "47121" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("account") << "555777" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("amount in words") << "dodici" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("month name") << "dicembre" << QStringList{u"Nicolò Ferrè"_s};
    QTest::newRow("Italian month of a date stored in English") << "gennaio" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("the date as stored") << "january" << QStringList{u"Mario Rossi"_s};
    QTest::newRow("month and year") << "maggio 2025" << QStringList{u"Anna Rossini"_s};
    QTest::newRow("a character no archive holds") << "rossi 中" << QStringList{};
    QTest::newRow("no word spans two texts") << "rossiente" << QStringList{};
    QTest::newRow("nothing matches") << "zanzara" << QStringList{};
}

void ArchiveImportTest::search()
{
    QFETCH(QString, query);
    QFETCH(QStringList, found);

    const QByteArray bytes = record("01 January 2026", "Mario Rossi", "Ente", "12,50") +
                             record("07 dicembre 2026", "Nicol\xF2 Ferr\xE8", "Universit\xE0", "3,00") +
                             record("05 maggio 2025", "Anna Rossini", "Ente", "99,00");
    ArchiveTable table = readArchive(bytes);
    const auto withFields = [&table](int row, const QList<std::pair<int, QString>>& fields) {
        QStringList c = table[row].columns();
        for (const auto& [field, text] : fields)
            c[FirstFieldColumn + field] = text;
        table[row] = *SlipRecord::fromColumns(c);
    };
    withFields(0, {{AmountWords, u"dodici/50"_s}});
    withFields(1, {{PayerAddress, u"Via Emilia 5"_s},
                   {PayerPostcode, u"47121"_s},
                   {PayerTown, u"Forlì"_s},
                   {AccountNumber, u"555777"_s}});
    // The third record's payee has a third line.
    withFields(2, {{PayeeLine3, u"Sezione Nord"_s}});
    const ArchiveSearch search(table, StoredDateReader(QLocale(QLocale::Italian, QLocale::Italy)));

    QStringList names;
    for (qsizetype index : search.matching(query))
        names.append(table[index].column(FirstFieldColumn + PayerName));
    QCOMPARE(names, found);
}

// Typing on narrows the previous result instead of scanning everything: each step must find what a
// search built afresh finds, also when a word is deleted or replaced.
void ArchiveImportTest::narrowingFindsWhatAFreshSearchFinds()
{
    QByteArray bytes;
    const char* const names[] = {"Rossi Mario", "Rossini Anna", "Russo Rosa", "Ferr\xE8 Ross", "Bianchi"};
    for (int r = 0; r < 50; ++r)
        bytes += record(r % 2 ? "05 marzo 2026" : "06 maggio 2026", names[r % 5], r % 3 ? "Ente" : "Rosso",
                        QByteArray::number(r) + ",00");
    const ArchiveTable table = readArchive(bytes);
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    const ArchiveSearch typing(table, dates);
    const QStringList steps = {u"r"_s,        u"ro"_s,      u"ros"_s,      u"ross"_s,      u"rossi"_s,
                               u"rossi "_s,   u"rossi m"_s, u"rossi ma"_s, u"rossi mar"_s, u"rossi m"_s,
                               u"rossi"_s,    u"ross"_s,    u"ross 1"_s,   u"ross 12"_s,   u"ross 1"_s,
                               u"rosso"_s,    u"rosso e"_s, u"e rosso"_s,  u"mag"_s,       u"maggio"_s,
                               u"maggio 3"_s, u"marzo 3"_s};
    qsizetype narrowed = 0;
    for (const QString& query : steps) {
        const QList<qsizetype> fresh = ArchiveSearch(table, dates).matching(query);
        QCOMPARE(typing.matching(query), fresh);
        narrowed += fresh.size();
    }
    QVERIFY(narrowed > 0);
}

// The signatures only rule records out: on random texts every query finds exactly the records
// whose folded values hold each of its words, as a plain substring search over them finds.
void ArchiveImportTest::signaturesNeverHideAMatch()
{
    const char alphabet[] = "aeiorsnt 0123\xE8\xE0";
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    const auto text = [&](int length) {
        QByteArray out;
        for (int i = 0; i < length; ++i)
            out += alphabet[next(sizeof(alphabet) - 1)];
        return out;
    };
    QByteArray bytes;
    for (int r = 0; r < 300; ++r)
        bytes += record("01 gennaio 2026", text(int(next(12))), text(int(next(8))), "1,00");
    const ArchiveTable table = readArchive(bytes);
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    const ArchiveSearch search(table, dates);
    int matched = 0;
    for (int q = 0; q < 400; ++q) {
        const QString query = decodeWindows1252(text(1 + int(next(4))));
        QList<qsizetype> expected;
        const QStringList words = ArchiveSearch::fold(query).split(u' ', Qt::SkipEmptyParts);
        for (qsizetype r = 0; r < table.size(); ++r) {
            QStringList values;
            for (int field = 0; field < SlipFieldCount; ++field)
                values.append(ArchiveSearch::fold(table[r].column(FirstFieldColumn + field)));
            values.append(u"01/01/2026"_s);
            values.append(u"01 gennaio 2026"_s);
            values.append(u"1 gennaio 2026"_s);
            const bool all = std::all_of(words.cbegin(), words.cend(), [&values](const QString& word) {
                return std::any_of(values.cbegin(), values.cend(),
                                   [&word](const QString& value) { return value.contains(word); });
            });
            if (all || words.isEmpty())
                expected.append(r);
        }
        QCOMPARE(search.matching(query), expected);
        matched += expected.isEmpty() || expected.size() == table.size() ? 0 : 1;
    }
    QVERIFY(matched > 50); // queries that split the records, not only all or none
}

QTEST_GUILESS_MAIN(ArchiveImportTest)
#include "ArchiveImportTest.moc"
