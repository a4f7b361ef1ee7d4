// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipArchive.h"
#include "ArchiveRecords.h"
#include "FailureCompare.h"
#include "FileBytes.h"

#include "FileSizeLimit.h"
#include "SystemFiles.h"

#include "HeldArchiveLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// What stands beside the archive when it is read.
enum class Journal {
    None,
    // An import of two records ("Secondo", "Terzo") killed after some bytes of it: undone before reading.
    Interrupted,
    // A journal that is not the program's: the archive is read as it is.
    Foreign,
};

// A record whose name is longer than many pieces of the stream.
const QByteArray LongName = "Lungo " + QByteArray("x").repeated(3000);

constexpr QFile::Permissions EveryoneReadWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                 QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

} // namespace

Q_DECLARE_METATYPE(Journal)

class SlipArchiveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void ensureCreatesAnEmptyPrivateFile();
    void ensureLeavesAnExistingFileAlone();
    void ensureFailsWithoutADirectory();

    void loadsAMissingFileAsEmpty();
    void loadReportsAnUnreadablePath();
    void loadsALargeArchiveWhole();
    void streamsWhatLoadReads_data();
    void streamsWhatLoadReads();
    void streamRefusesWhatLoadRefuses_data();
    void streamRefusesWhatLoadRefuses();

    void appendCreatesTheFile();
    void appendAddsTheRecordAtTheEnd();
    void appendStartsANewLineAfterACutFile();
    void appendAfterALongArchiveCompletesItsCutRecord();
    void appendOnAFullDiskLeavesTheFile();
    void appendIntoAMissingDirectoryFails();
    void appendIntoAReadOnlyDirectoryFails();

    void removes_data();
    void removes();
    void removeKeepsTheFilePrivate();
    void removeSeesChangesByAnotherCopy_data();
    void removeSeesChangesByAnotherCopy();
    void removeOnAFullDiskLeavesTheFile();

    void writersWaitForTheLock_data();
    void writersWaitForTheLock();

private:
    QTemporaryDir m_dir;
    QString m_path;
};

void SlipArchiveTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Files the archive makes must not depend on the user's umask to be shared.
    setFileCreationMask(022);
}

void SlipArchiveTest::init()
{
    m_path = m_dir.filePath(u"fillcp.dll"_s);
    QFile::remove(m_path);
    QFile::remove(m_path + u".journal"_s);
}

void SlipArchiveTest::ensureCreatesAnEmptyPrivateFile()
{
    QCOMPARE(SlipArchive(m_path).ensureExists(), Failure());
    QCOMPARE(contents(m_path), QByteArray());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(m_path), 0600);
}

void SlipArchiveTest::ensureLeavesAnExistingFileAlone()
{
    write(m_path, "esistente\r\n");
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(SlipArchive(m_path).ensureExists(), Failure());
    QCOMPARE(contents(m_path), QByteArray("esistente\r\n"));
    if (hasPosixPermissions())
        QCOMPARE(QFileInfo(m_path).permissions() & EveryoneReadWrite, QFile::ReadOwner | QFile::WriteOwner);
}

void SlipArchiveTest::ensureFailsWithoutADirectory()
{
    const QString path = m_dir.filePath(u"manca/fillcp.dll"_s);
    const Failure failure = SlipArchive(path).ensureExists();
    QVERIFY(failure);
    QCOMPARE(failure.text(), u"Impossibile creare l'archivio %1: la cartella %2 non esiste più."_s.arg(
                                 path, m_dir.filePath(u"manca"_s)));
}

void SlipArchiveTest::loadsAMissingFileAsEmpty()
{
    ArchiveTable table(2);
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(table.size(), 0);
    QVERIFY(!QFileInfo::exists(m_path));
}

void SlipArchiveTest::loadReportsAnUnreadablePath()
{
    const QString path = m_dir.filePath(u"una-cartella"_s);
    QVERIFY(QDir().mkpath(path));
    ArchiveTable table(1);
    const Failure failure = SlipArchive(path).load(table);
    QVERIFY(failure);
    QCOMPARE(table.size(), 0);
    QVERIFY2(failure.text().contains(path), qPrintable(failure.text()));
}

// An archive of several megabytes is read in pieces while the records of the first are being cut: every
// record comes back, in order, with every value, the ones that straddle two pieces included.
void SlipArchiveTest::loadsALargeArchiveWhole()
{
    QByteArray bytes;
    QStringList expected;
    for (int r = 0; bytes.size() < (20 << 20); ++r) {
        const QByteArray name = "Nome " + QByteArray::number(r);
        bytes += r % 2 ? savedRecord(name) : rewrittenRecord(name);
        expected.append(QString::fromLatin1(name));
    }
    write(m_path, bytes);
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(names(table), expected);
    for (const SlipRecord& record : table) {
        if (record.column(5) != u"10,00"_s || record.column(15) != u"1"_s)
            QFAIL(
                qPrintable(u"record %1 read wrong: %2"_s.arg(record.column(1), record.columns().join(u'|'))));
    }
}

void SlipArchiveTest::streamsWhatLoadReads_data()
{
    QTest::addColumn<QByteArray>("bytes"); // "<missing>": no file
    QTest::addColumn<Journal>("journal");
    QTest::addColumn<QStringList>("expected"); // the payers' names

    const QByteArray two = savedRecord("Primo") + rewrittenRecord("Secondo");
    QTest::newRow("no file") << QByteArray("<missing>") << Journal::None << QStringList();
    QTest::newRow("empty file") << QByteArray() << Journal::None << QStringList();
    QTest::newRow("saved and rewritten records")
        << two << Journal::None << QStringList({u"Primo"_s, u"Secondo"_s});
    QTest::newRow("line feeds only") << QByteArray(two).replace("\r\n", "\n") << Journal::None
                                     << QStringList({u"Primo"_s, u"Secondo"_s});
    QTest::newRow("CR CR LF, a file converted twice")
        << QByteArray(two).replace("\r\n", "\r\r\n") << Journal::None
        << QStringList({u"Primo"_s, u"Secondo"_s});
    QTest::newRow("lines that are no record, before, between and after")
        << "intestazione\r\n?*@1\xE7*^ \r\n" + savedRecord("Primo") + "avanzo\r\n\r\n" +
               savedRecord("Secondo") + "coda senza fine riga"
        << Journal::None << QStringList({u"Primo"_s, u"Secondo"_s});
    QTest::newRow("last record cut short")
        << savedRecord("Primo") + Marker + "\r\n07 dicembre 2026\r\n Tagliato\r" << Journal::None
        << QStringList({u"Primo"_s, u"Tagliato"_s});
    QTest::newRow("bytes that are no text in a value")
        << savedRecord(QByteArray("Nul\0lo\xFF\x81", 8)) + savedRecord("Dopo") << Journal::None
        << QStringList({u"Nul\0lo\u00FF\u0081"_s, u"Dopo"_s});
    QTest::newRow("record longer than many pieces")
        << savedRecord("Primo") + savedRecord(LongName) + savedRecord("Terzo") << Journal::None
        << QStringList({u"Primo"_s, QString::fromLatin1(LongName), u"Terzo"_s});
    QTest::newRow("interrupted import undone first")
        << savedRecord("Primo") << Journal::Interrupted << QStringList({u"Primo"_s});
    QTest::newRow("foreign journal, file read as it is")
        << savedRecord("Primo") << Journal::Foreign << QStringList({u"Primo"_s, u"Secondo"_s, u"Terzo"_s});
}

// The stream hands over, piece by piece however small, the records load() reads at once: the same
// records in the same order, lines that are no record skipped alike, a killed import undone alike.
void SlipArchiveTest::streamsWhatLoadReads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Journal, journal);
    QFETCH(QStringList, expected);
    for (const qsizetype piece : {qsizetype(1), qsizetype(7), qsizetype(64), qsizetype(0)}) {
        QFile::remove(m_path);
        QFile::remove(m_path + u".journal"_s);
        if (bytes != "<missing>")
            write(m_path, bytes);
        if (journal != Journal::None) {
            SlipArchive interrupted(m_path);
            interrupted.setInterruptAfter(journal == Journal::Interrupted ? 250 : 1000);
            QCOMPARE(interrupted.appendAll({savedRecord("Secondo"), savedRecord("Terzo")}).kind(),
                     Failure::Kind::Failed);
            if (journal == Journal::Foreign)
                write(m_path + u".journal"_s, "un altro programma\n");
        }
        const QByteArray before = contents(m_path);

        SlipArchive archive(m_path);
        if (piece > 0)
            archive.setReadPiece(piece);
        ArchiveTable streamed;
        QCOMPARE(archive.forEachRecord([&streamed](const SlipRecord& record) { streamed.append(record); }),
                 Failure());
        QCOMPARE(names(streamed), expected);
        QCOMPARE(QFile::exists(m_path + u".journal"_s), journal == Journal::Foreign);

        ArchiveTable loaded;
        QCOMPARE(archive.load(loaded), Failure());
        QCOMPARE(streamed.size(), loaded.size());
        for (qsizetype r = 0; r < loaded.size(); ++r)
            QCOMPARE(streamed[r].columns(), loaded[r].columns());
        if (journal != Journal::Interrupted)
            QCOMPARE(contents(m_path), before);
    }
}

void SlipArchiveTest::streamRefusesWhatLoadRefuses_data()
{
    QTest::addColumn<bool>("folder"); // a folder stands at the archive's name
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QString>("error"); // %1: the archive's path

    QTest::newRow("larger than the limit")
        << false << qint64(100)
        << u"Impossibile leggere l'archivio %1: il file è troppo grande per essere letto (1 MB, al massimo 1 "
           u"MB). Spostare %1 altrove e ricominciare con un archivio vuoto, o tenerne solo una parte."_s;
    QTest::newRow("a folder at the archive's name")
        << true << (qint64(1) << 30)
        << u"Impossibile leggere l'archivio %1: al suo posto c'è una cartella."_s;
}

void SlipArchiveTest::streamRefusesWhatLoadRefuses()
{
    QFETCH(bool, folder);
    QFETCH(qint64, limit);
    QFETCH(QString, error);
    if (folder)
        QVERIFY(QDir().mkpath(m_path));
    else
        write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    SlipArchive archive(m_path);
    archive.setSizeLimit(limit);
    archive.setReadPiece(16);
    qsizetype visited = 0;
    const Failure streamed = archive.forEachRecord([&visited](const SlipRecord&) { ++visited; });
    QCOMPARE(streamed.kind(), Failure::Kind::Failed);
    QCOMPARE(visited, 0);
    QCOMPARE(streamed.text(), error.arg(m_path));
    ArchiveTable table;
    QCOMPARE(archive.load(table), streamed);
    if (folder)
        QVERIFY(QDir(m_path).removeRecursively());
}

void SlipArchiveTest::appendCreatesTheFile()
{
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Rossi")), Failure());
    QCOMPARE(contents(m_path), savedRecord("Rossi"));
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(m_path), 0600);
    // The lock file stays, empty, private like the archive.
    QCOMPARE(contents(m_path + u".lock"_s), QByteArray());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(m_path + u".lock"_s), 0600);
}

void SlipArchiveTest::appendAddsTheRecordAtTheEnd()
{
    write(m_path, rewrittenRecord("Primo") + savedRecord("Secondo"));
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Terzo")), Failure());
    QCOMPARE(contents(m_path), rewrittenRecord("Primo") + savedRecord("Secondo") + savedRecord("Terzo"));
}

void SlipArchiveTest::appendStartsANewLineAfterACutFile()
{
    const QByteArray cut = savedRecord("Primo").chopped(2);
    write(m_path, cut);
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Secondo")), Failure());
    QCOMPARE(contents(m_path), cut + "\r\n" + savedRecord("Secondo"));
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(names(table), QStringList({u"Primo"_s, u"Secondo"_s}));
}

// Far beyond the last bytes a save looks at first: the cut record at the end is still completed, and the
// new record comes after it as a record of its own.
void SlipArchiveTest::appendAfterALongArchiveCompletesItsCutRecord()
{
    QByteArray bytes;
    QStringList expected;
    for (int r = 0; r < 2000; ++r) {
        bytes += rewrittenRecord("N" + QByteArray::number(r));
        expected.append(u"N"_s + QString::number(r));
    }
    const QByteArray cut = Marker + "\r\n07 dicembre 2026\r\nTagliato\r\n";
    write(m_path, bytes + cut);
    SlipArchive::Appended where;
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Nuovo"), where), Failure());
    QVERIFY(where.padded);
    QCOMPARE(where.before.size, bytes.size() + cut.size());
    QCOMPARE(contents(m_path), bytes + cut + QByteArray("\r\n").repeated(14) + savedRecord("Nuovo"));
    QCOMPARE(where.after.size, contents(m_path).size());
    ArchiveTable table;
    QCOMPARE(SlipArchive(m_path).load(table), Failure());
    QCOMPARE(names(table), expected + QStringList({u"Tagliato"_s, u"Nuovo"_s}));
}

void SlipArchiveTest::appendOnAFullDiskLeavesTheFile()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    const QByteArray before = savedRecord("Primo") + savedRecord("Secondo");
    write(m_path, before);
    Failure failure;
    {
        // Room for a few bytes of the record, not for all of it.
        FileSizeLimit limit(before.size() + 40);
        QVERIFY(limit.active());
        failure = SlipArchive(m_path).append(savedRecord("Terzo"));
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
    }
    QCOMPARE(contents(m_path), before);
    // The cause is the one the write met, not what the clean-up after it says.
    QCOMPARE(failure.text(),
             u"Impossibile scrivere nell'archivio %1: il file supera la dimensione massima consentita.\n"
             u"L'archivio è rimasto com'era."_s.arg(m_path));
}

void SlipArchiveTest::appendIntoAMissingDirectoryFails()
{
    // A directory that cannot exist, because a file stands where it should be: root cannot bypass it.
    write(m_dir.filePath(u"not-a-dir"_s), "x");
    const QString path = m_dir.filePath(u"not-a-dir/fillcp.dll"_s);
    const Failure failure = SlipArchive(path).append(savedRecord("Rossi"));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(failure.text(),
             u"Impossibile scrivere nell'archivio %1: la cartella %2 non si può aprire (un elemento "
             u"del percorso non è una cartella).\nL'archivio è rimasto com'era."_s.arg(
                 path, m_dir.filePath(u"not-a-dir"_s)));
}

void SlipArchiveTest::appendIntoAReadOnlyDirectoryFails()
{
    if (!hasPosixPermissions())
        QSKIP("a read-only folder is made with POSIX permission bits, which files here do not have");
    if (runsAsRoot())
        QSKIP("root writes into read-only directories; the full-disk and missing-directory cases cover the "
              "failure");
    const QString dir = m_dir.filePath(u"sola-lettura"_s);
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + u"/fillcp.dll"_s;
    write(path, savedRecord("Primo"));
    QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
    const Failure appended = SlipArchive(path).append(savedRecord("Secondo"));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(appended.kind(), Failure::Kind::Failed);
    QVERIFY2(appended.text().contains(path), qPrintable(appended.text()));
    QCOMPARE(contents(path), savedRecord("Primo"));
}

void SlipArchiveTest::removes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("the only record") << savedRecord("Solo") << 0 << QByteArray();
    QTest::newRow("the first of three")
        << savedRecord("Primo") + savedRecord("Secondo") + savedRecord("Terzo") << 0
        << rewrittenRecord("Secondo") + rewrittenRecord("Terzo");
    QTest::newRow("the middle one") << savedRecord("Primo") + savedRecord("Secondo") + savedRecord("Terzo")
                                    << 1 << rewrittenRecord("Primo") + rewrittenRecord("Terzo");
    QTest::newRow("the last one") << rewrittenRecord("Primo") + savedRecord("Secondo") << 1
                                  << rewrittenRecord("Primo");
    QTest::newRow("junk between records goes")
        << "intestazione\r\n" + savedRecord("Primo") + "avanzo\r\n" + savedRecord("Secondo") << 1
        << rewrittenRecord("Primo");
    QTest::newRow("line feeds become CR LF")
        << savedRecord("Primo").replace("\r\n", "\n") + savedRecord("Secondo").replace("\r\n", "\n") << 0
        << rewrittenRecord("Secondo");
}

void SlipArchiveTest::removes()
{
    QFETCH(QByteArray, before);
    QFETCH(int, index);
    QFETCH(QByteArray, after);
    write(m_path, before);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QCOMPARE(archive.load(table), Failure());
    QCOMPARE(archive.remove(index, table[index]), Failure());
    QCOMPARE(contents(m_path), after);

    // A record saved afterwards follows them with its leading spaces.
    QCOMPARE(archive.append(savedRecord("Dopo")), Failure());
    QCOMPARE(contents(m_path), after + savedRecord("Dopo"));
}

void SlipArchiveTest::removeKeepsTheFilePrivate()
{
    write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    QFile::setPermissions(m_path, EveryoneReadWrite);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QCOMPARE(archive.load(table), Failure());
    QCOMPARE(archive.remove(0, table[0]), Failure());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(m_path), 0600);
}

void SlipArchiveTest::removeSeesChangesByAnotherCopy_data()
{
    QTest::addColumn<QByteArray>("changed"); // the file as the other copy left it
    QTest::addColumn<int>("index");          // in the list loaded before the change
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("after");

    const QByteArray listed = savedRecord("Primo") + savedRecord("Secondo");
    QTest::newRow("record saved after it: kept")
        << listed + savedRecord("Nuovo") << 1 << int(Failure::Kind::None)
        << rewrittenRecord("Primo") + rewrittenRecord("Nuovo");
    QTest::newRow("record deleted before it: nothing deleted")
        << savedRecord("Secondo") << 1 << int(Failure::Kind::Moved) << savedRecord("Secondo");
    QTest::newRow("the record itself deleted: nothing deleted")
        << savedRecord("Primo") << 1 << int(Failure::Kind::Moved) << savedRecord("Primo");
    QTest::newRow("record put in front: nothing deleted")
        << rewrittenRecord("Altro") + listed << 0 << int(Failure::Kind::Moved)
        << rewrittenRecord("Altro") + listed;
    QTest::newRow("file removed: nothing written")
        << QByteArray() << 0 << int(Failure::Kind::Moved) << QByteArray("<missing>");
    QTest::newRow("same records in the other shape: deleted")
        << rewrittenRecord("Primo") + rewrittenRecord("Secondo") << 0 << int(Failure::Kind::None)
        << rewrittenRecord("Secondo");
}

void SlipArchiveTest::removeSeesChangesByAnotherCopy()
{
    QFETCH(QByteArray, changed);
    QFETCH(int, index);
    QFETCH(int, result);
    QFETCH(QByteArray, after);
    write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    const SlipArchive archive(m_path);
    ArchiveTable shown;
    QCOMPARE(archive.load(shown), Failure());

    if (changed.isEmpty())
        QVERIFY(QFile::remove(m_path));
    else
        write(m_path, changed);

    QCOMPARE(int(archive.remove(index, shown[index]).kind()), result);
    QCOMPARE(contents(m_path), after);
}

void SlipArchiveTest::removeOnAFullDiskLeavesTheFile()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    QByteArray before;
    for (int r = 0; r < 12; ++r)
        before += savedRecord("Nome " + QByteArray::number(r));
    write(m_path, before);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    Failure failure;
    QCOMPARE(archive.load(table), Failure());
    {
        // No room for the rewritten archive.
        FileSizeLimit limit(512);
        QVERIFY(limit.active());
        failure = archive.remove(3, table[3]);
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
    }
    QCOMPARE(contents(m_path), before);
    QCOMPARE(failure.text(),
             u"Impossibile riscrivere l'archivio %1: il file supera la dimensione massima consentita.\n"
             u"L'archivio è rimasto com'era."_s.arg(m_path));
    // No temporary file left behind.
    QCOMPARE(QDir(m_dir.path()).entryList({u"fillcp.dll*"_s}, QDir::Files | QDir::Hidden),
             QStringList({u"fillcp.dll"_s, u"fillcp.dll.lock"_s}));
}

void SlipArchiveTest::writersWaitForTheLock_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::newRow("append") << false;
    QTest::newRow("remove") << true;
}

void SlipArchiveTest::writersWaitForTheLock()
{
    QFETCH(bool, deleting);
    SlipArchive archive(m_path);
    archive.setLockTimeout(0);
    // Several rounds: a wait given up must leave nothing behind that turns the next try away once
    // the other copy has let the lock go.
    for (int round = 0; round < 20; ++round) {
        write(m_path, savedRecord("Primo"));
        ArchiveTable table;
        QCOMPARE(archive.load(table), Failure());

        // Another copy holds the lock.
        HeldArchiveLock other(m_path);
        QVERIFY(other.held());
        const Failure failure =
            deleting ? archive.remove(0, table[0]) : archive.append(savedRecord("Secondo"));
        QCOMPARE(failure.kind(), Failure::Kind::Busy);
        QCOMPARE(failure.text(), u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(m_path));
        QCOMPARE(contents(m_path), savedRecord("Primo"));

        other.release();
        if (deleting) {
            QCOMPARE(archive.remove(0, table[0]), Failure());
            QCOMPARE(contents(m_path), QByteArray());
        } else {
            QCOMPARE(archive.append(savedRecord("Secondo")), Failure());
            QCOMPARE(contents(m_path), savedRecord("Primo") + savedRecord("Secondo"));
        }
    }
}

QTEST_GUILESS_MAIN(SlipArchiveTest)
#include "SlipArchiveTest.moc"
