// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArchiveRecords.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "SystemFiles.h"
#include "core/archive/SlipArchive.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What a hostile or damaged journal looks like, made from the real one left by an interrupted import.
enum class Damage { Link, Fifo, Garbage, ArchiveReplaced, ArchiveShortened, NewerThanTheArchive, Directory };

} // namespace

Q_DECLARE_METATYPE(Damage)

// The rollback journal of an import cut short: undone at the next open by whoever comes, and never
// used to cut a file it does not describe.
class ArchiveJournalTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void interruptedImportIsUndoneAtTheNextLoad_data();
    void interruptedImportIsUndoneAtTheNextLoad();
    void interruptedSaveIsUndoneByTheNextSave();
    void interruptedImportIsUndoneBeforeADeletion();
    void aWholeImportLeavesNoJournal();
    void hostileJournalCutsNothing_data();
    void hostileJournalCutsNothing();
    void journalTakesTheArchiveMode_data();
    void journalTakesTheArchiveMode();

private:
    // Interrupts an import of two records into the archive holding first, after bytes of it.
    void interruptImport(const QString& path, qsizetype bytes);

    QTemporaryDir m_dir;
    QString m_path;
    const QByteArray m_first = savedRecord("Primo");
};

void ArchiveJournalTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    setFileCreationMask(022);
}

void ArchiveJournalTest::init()
{
    const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + u'-' +
                                          QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    QVERIFY(QDir().mkpath(folder));
    m_path = folder + u"/fillcp.dll"_s;
    write(m_path, m_first);
}

void ArchiveJournalTest::interruptImport(const QString& path, qsizetype bytes)
{
    SlipArchive archive(path);
    archive.setInterruptAfter(bytes);
    QCOMPARE(archive.appendAll({savedRecord("Secondo"), savedRecord("Terzo")}).kind(), Failure::Kind::Failed);
    QVERIFY2(QFile::exists(path + u".journal"_s), "no journal was left by the interrupted import");
}

void ArchiveJournalTest::interruptedImportIsUndoneAtTheNextLoad_data()
{
    QTest::addColumn<qsizetype>("written");
    QTest::newRow("nothing written yet") << qsizetype(0);
    QTest::newRow("cut inside the first new record") << qsizetype(37);
    QTest::newRow("first new record whole, second cut") << savedRecord("Secondo").size() + 12;
    QTest::newRow("all written, not yet synced")
        << savedRecord("Secondo").size() + savedRecord("Terzo").size();
}

void ArchiveJournalTest::interruptedImportIsUndoneAtTheNextLoad()
{
    QFETCH(qsizetype, written);
    interruptImport(m_path, written);
    QCOMPARE(contents(m_path).size(), m_first.size() + written);

    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(names(table), QStringList{u"Primo"_s});
    QCOMPARE(contents(m_path), m_first);
    QVERIFY(!QFile::exists(m_path + u".journal"_s));
}

void ArchiveJournalTest::interruptedSaveIsUndoneByTheNextSave()
{
    {
        SlipArchive archive(m_path);
        archive.setInterruptAfter(50);
        const Failure failure = archive.append(savedRecord("Perso"));
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
    }
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Secondo")), Failure());
    QCOMPARE(contents(m_path), m_first + savedRecord("Secondo"));
    QVERIFY(!QFile::exists(m_path + u".journal"_s));
}

void ArchiveJournalTest::interruptedImportIsUndoneBeforeADeletion()
{
    interruptImport(m_path, 90);
    SlipArchive archive(m_path);
    const SlipRecord first = readArchive(m_first).value(0);
    QCOMPARE(archive.remove(0, first), Failure());
    QCOMPARE(contents(m_path), QByteArray());
}

void ArchiveJournalTest::aWholeImportLeavesNoJournal()
{
    QCOMPARE(SlipArchive(m_path).appendAll({savedRecord("Secondo"), savedRecord("Terzo")}), Failure());
    QCOMPARE(contents(m_path), m_first + savedRecord("Secondo") + savedRecord("Terzo"));
    const QStringList left = QDir(QFileInfo(m_path).path()).entryList(QDir::Files | QDir::System);
    QCOMPARE(left, QStringList({u"fillcp.dll"_s, u"fillcp.dll.lock"_s}));
}

void ArchiveJournalTest::hostileJournalCutsNothing_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::newRow("journal is a link to a real journal") << Damage::Link;
    QTest::newRow("journal is a FIFO") << Damage::Fifo;
    QTest::newRow("journal holds garbage") << Damage::Garbage;
    QTest::newRow("journal is a directory") << Damage::Directory;
    QTest::newRow("archive replaced by another file") << Damage::ArchiveReplaced;
    QTest::newRow("archive shorter than the journal says") << Damage::ArchiveShortened;
    QTest::newRow("journal newer than the archive's last write") << Damage::NewerThanTheArchive;
}

void ArchiveJournalTest::hostileJournalCutsNothing()
{
    QFETCH(Damage, damage);
    interruptImport(m_path, 120);
    const QString journal = m_path + u".journal"_s;
    QString why;
    switch (damage) {
    case Damage::Link:
        QVERIFY(QFile::rename(journal, m_path + u".altro"_s));
        if (!makeSymbolicLink(m_path + u".altro"_s, journal, why))
            QSKIP(qPrintable(u"no symbolic link can be made here: "_s + why));
        break;
    case Damage::Fifo:
        QVERIFY(QFile::remove(journal));
        if (!makeFifo(journal, why))
            QSKIP(qPrintable(why));
        break;
    case Damage::Garbage:
        write(journal, "0 0 0\n");
        break;
    case Damage::Directory:
        QVERIFY(QFile::remove(journal));
        QVERIFY(QDir().mkdir(journal));
        break;
    case Damage::ArchiveReplaced: {
        // Same bytes, another file: the journal is about the one moved away.
        const QByteArray bytes = contents(m_path);
        QVERIFY(QFile::rename(m_path, m_path + u".vecchio"_s));
        write(m_path, bytes);
        break;
    }
    case Damage::ArchiveShortened:
        QVERIFY(QFile::resize(m_path, 100));
        break;
    case Damage::NewerThanTheArchive: {
        QFile file(journal);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(
            file.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        break;
    }
    }
    const QByteArray before = contents(m_path);
    ArchiveTable table;
    Failure failure;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(contents(m_path), before);

    // The next write says why and writes nothing.
    failure = SlipArchive(m_path).append(savedRecord("Quarto"));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QVERIFY2(failure.text().startsWith(
                 u"Impossibile scrivere nell'archivio %1: il file di ripristino %1.journal "_s.arg(m_path)),
             qPrintable(failure.text()));
    QVERIFY2(failure.text().contains(u"l'archivio non viene toccato"_s), qPrintable(failure.text()));
    QCOMPARE(contents(m_path), before);
    const SlipRecord first = readArchive(m_first).value(0);
    failure = SlipArchive(m_path).remove(0, first);
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(contents(m_path), before);
}

void ArchiveJournalTest::journalTakesTheArchiveMode_data()
{
    QTest::addColumn<bool>("shared");
    QTest::addColumn<int>("mode");
    QTest::newRow("private directory") << false << 0600;
    QTest::newRow("setgid shared directory") << true << 0660;
}

void ArchiveJournalTest::journalTakesTheArchiveMode()
{
    QFETCH(bool, shared);
    QFETCH(int, mode);
    if (!hasPosixPermissions())
        QSKIP("files here have no POSIX permission bits: the folder's access list rules them");
    if (shared)
        QVERIFY(setPermissions(QFileInfo(m_path).path(), 02770));
    interruptImport(m_path, 10);
    QCOMPARE(permissionsOf(m_path + u".journal"_s), mode);
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(contents(m_path), m_first);
}

QTEST_GUILESS_MAIN(ArchiveJournalTest)
#include "ArchiveJournalTest.moc"
