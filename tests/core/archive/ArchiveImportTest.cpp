// SPDX-License-Identifier: GPL-3.0-or-later

// Many slips into the archive at once: the good rows of a spreadsheet in one all-or-nothing step, the
// records of another archive merged without duplicates.
#include "ArchiveRecords.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "SheetImportOf.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/sheet/SlipSheet.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

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
    write(m_path, datedRecord("01 gennaio 2026", "Primo", "Ente", "1,00"));
    const SheetImport import =
        importOf("Nome;Importo;Conto;Data\r\nAnna;12,5;1234;\r\nLuca;3,00;1234;02/03/2026\r\n");
    QCOMPARE(import.slips.size(), 2);
    QByteArray bytes;
    QCOMPARE(
        encodeSheetSlips(import.slips, QDate(2026, 12, 7), QLocale(QLocale::Italian, QLocale::Italy), bytes),
        Failure());
    QCOMPARE(SlipArchive(m_path).append(bytes), Failure());

    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
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
    write(m_path, datedRecord("01 gennaio 2026", "Primo", "Ente", "1,00"));
    const QByteArray before = contents(m_path);
    QByteArray sheet = "Nome;Importo;Conto\r\n";
    for (int i = 0; i < 50; ++i)
        sheet += "Socio " + QByteArray::number(i) + ";10,00;1234\r\n";
    const SheetImport import = importOf(sheet);
    QCOMPARE(import.slips.size(), 50);
    QByteArray bytes;
    QCOMPARE(
        encodeSheetSlips(import.slips, QDate(2026, 12, 7), QLocale(QLocale::Italian, QLocale::Italy), bytes),
        Failure());
    Failure failure;

    {
        // Room for the first twenty records, not for all fifty.
        FileSizeLimit limit(before.size() + 20 * (bytes.size() / 50));
        QVERIFY(limit.active());
        failure = SlipArchive(m_path).append(bytes);
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
    }
    QCOMPARE(contents(m_path), before);
    QVERIFY2(failure.text().endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(failure.text()));
}

void ArchiveImportTest::mergeSkipsIdenticalRecords()
{
    // Ours: two records. Theirs, as brought from another machine in the save's shape (spaces before
    // the values): one identical to ours, one differing only in the amount, one new, and the new one
    // a second time.
    write(m_path, datedRecord("01 gennaio 2026", "Rossi", "Ente", "1,00") +
                      datedRecord("02 gennaio 2026", "Bianchi", "Ente", "2,00"));
    QByteArray theirs;
    for (const QByteArray& r : {datedRecord("02 gennaio 2026", "Bianchi", "Ente", "2,00"),
                                datedRecord("02 gennaio 2026", "Bianchi", "Ente", "2,50"),
                                datedRecord("03 gennaio 2026", "Verdi", "Ente", "3,00"),
                                datedRecord("03 gennaio 2026", "Verdi", "Ente", "3,00")}) {
        QByteArray spaced = QByteArray(r).replace("\r\n", "\r\n ");
        spaced.chop(1); // the marker of the next record has no space before it
        theirs += spaced;
    }
    const ArchiveTable incoming = readArchive(theirs);
    QCOMPARE(incoming.size(), 4);

    SlipArchive::MergeCounts counts;
    QCOMPARE(SlipArchive(m_path).merge(incoming, counts), Failure());
    QCOMPARE(counts.added, 2);
    QCOMPARE(counts.skipped, 2);
    // Bianchi 2,00 was ours already; the second Verdi repeats the first of the file.
    QCOMPARE(counts.alreadyPresent, 1);
    QCOMPARE(counts.repeatedInFile, 1);
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(names(table), (QStringList{u"Rossi"_s, u"Bianchi"_s, u"Bianchi"_s, u"Verdi"_s}));
    QCOMPARE(table[2].column(FirstFieldColumn + Amount), u"2,50"_s);

    // Merging the same archive again adds nothing.
    QCOMPARE(SlipArchive(m_path).merge(incoming, counts), Failure());
    QCOMPARE(counts.added, 0);
    QCOMPARE(counts.skipped, 4);
    QCOMPARE(counts.alreadyPresent, 4);
    QCOMPARE(counts.repeatedInFile, 0);
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
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
    write(m_path, datedRecord("05 marzo 2026", "Rossi", "Ente", "1,00"));
    const ArchiveTable incoming = readArchive(datedRecord(theirDate, "Rossi", "Ente", "1,00"));
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    SlipArchive::MergeCounts counts;
    QCOMPARE(SlipArchive(m_path).merge(incoming, counts, &dates), Failure());
    QCOMPARE(counts.added, added);
    QCOMPARE(counts.alreadyPresent, 1 - added);
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(table.size(), 1 + added);
}

void ArchiveImportTest::mergeOnAFullDiskLeavesTheArchive()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    write(m_path, datedRecord("01 gennaio 2026", "Rossi", "Ente", "1,00"));
    const QByteArray before = contents(m_path);
    QByteArray theirs;
    for (int i = 0; i < 30; ++i)
        theirs += datedRecord("03 gennaio 2026", "Socio " + QByteArray::number(i), "Ente", "3,00");
    SlipArchive::MergeCounts counts;
    counts.added = -1;
    Failure failure;
    {
        FileSizeLimit limit(before.size() + theirs.size() / 2);
        QVERIFY(limit.active());
        failure = SlipArchive(m_path).merge(readArchive(theirs), counts);
    }
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(contents(m_path), before);
    QCOMPARE(counts.added, 0);
    QVERIFY2(failure.text().endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(failure.text()));
}

QTEST_GUILESS_MAIN(ArchiveImportTest)
#include "ArchiveImportTest.moc"
