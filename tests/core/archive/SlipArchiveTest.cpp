#include "core/archive/SlipArchive.h"
#include "FileBytes.h"
#include "core/archive/ArchivePath.h"

#include "FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Marker("?*@1\xE7*^");

QByteArray savedRecord(const QByteArray& name)
{
    return Marker + "\r\n07 dicembre 2026\r\n " + name +
           "\r\n \r\n \r\n \r\n 10,00\r\n dieci/00\r\n \r\n \r\n \r\n 1234\r\n \r\n 123\r\n False\r\n "
           "True\r\n 1\r\n";
}

QByteArray rewrittenRecord(const QByteArray& name)
{
    return Marker + "\r\n07 dicembre 2026\r\n" + name +
           "\r\n\r\n\r\n\r\n10,00\r\ndieci/00\r\n\r\n\r\n\r\n1234\r\n\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
}

QStringList names(const ArchiveTable& table)
{
    QStringList result;
    for (const SlipRecord& record : table)
        result.append(record.column(1));
    return result;
}

constexpr QFile::Permissions EveryoneReadWrite = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                                 QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

} // namespace

class SlipArchiveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void systemDirectory_data();
    void systemDirectory();
    void createsAMissingSystemDirectoryForEveryone();

    void ensureCreatesAnEmptySharedFile();
    void ensureLeavesAnExistingFileAlone();
    void ensureFailsWithoutADirectory();

    void loadsAMissingFileAsEmpty();
    void loadReportsAnUnreadablePath();

    void appendCreatesTheFile();
    void appendAddsTheRecordAtTheEnd();
    void appendStartsANewLineAfterACutFile();
    void appendOnAFullDiskLeavesTheFile();
    void appendIntoAMissingDirectoryFails();
    void appendIntoAReadOnlyDirectoryFails();

    void removes_data();
    void removes();
    void removeLeavesTheFileSharedForEveryone();
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
    umask(022);
}

void SlipArchiveTest::init()
{
    m_path = m_dir.filePath(u"fillcp.dll"_s);
    QFile::remove(m_path);
}

void SlipArchiveTest::systemDirectory_data()
{
    QTest::addColumn<QString>("relative"); // below the temporary directory; "" is the directory itself
    QTest::addColumn<QString>("suffix");   // what follows it in the configured text
    QTest::addColumn<QString>("expected"); // "<dir>" stands for the temporary directory

    QTest::newRow("existing directory") << QString() << QString() << u"<dir>/"_s;
    QTest::newRow("trailing slash kept single") << QString() << u"/"_s << u"<dir>/"_s;
    QTest::newRow("spaces around are removed") << QString() << u"  "_s << u"<dir>/"_s;
    QTest::newRow("a file is no directory") << u"plain-file"_s << QString() << QString();
    QTest::newRow("below a file it cannot be made") << u"plain-file/sub"_s << QString() << QString();
}

void SlipArchiveTest::systemDirectory()
{
    QFETCH(QString, relative);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    write(m_dir.filePath(u"plain-file"_s), "x");
    const QString configured = relative.isEmpty() ? m_dir.path() : m_dir.filePath(relative);
    expected.replace(u"<dir>"_s, m_dir.path());
    QCOMPARE(SystemDirectory(configured + suffix), expected);
    QCOMPARE(SystemDirectory(u"  "_s + configured + suffix), expected);
}

void SlipArchiveTest::createsAMissingSystemDirectoryForEveryone()
{
    const QString wanted = m_dir.filePath(u"var/lib/cedolario"_s);
    QCOMPARE(SystemDirectory(wanted), wanted + u'/');
    const QFileInfo info(wanted);
    QVERIFY(info.isDir());
    QCOMPARE(info.permissions() & (QFile::WriteOther | QFile::ExeOther | QFile::ReadOther),
             QFile::WriteOther | QFile::ExeOther | QFile::ReadOther);
    struct stat status {
    };
    QCOMPARE(stat(QFile::encodeName(wanted).constData(), &status), 0);
    QCOMPARE(status.st_mode & 07777, mode_t(0777));
}

void SlipArchiveTest::ensureCreatesAnEmptySharedFile()
{
    QString error;
    QVERIFY(SlipArchive(m_path).ensureExists(&error));
    QCOMPARE(contents(m_path), QByteArray());
    QCOMPARE(QFileInfo(m_path).permissions() & EveryoneReadWrite, EveryoneReadWrite);
}

void SlipArchiveTest::ensureLeavesAnExistingFileAlone()
{
    write(m_path, "esistente\r\n");
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY(SlipArchive(m_path).ensureExists());
    QCOMPARE(contents(m_path), QByteArray("esistente\r\n"));
    QCOMPARE(QFileInfo(m_path).permissions() & EveryoneReadWrite, QFile::ReadOwner | QFile::WriteOwner);
}

void SlipArchiveTest::ensureFailsWithoutADirectory()
{
    const QString path = m_dir.filePath(u"manca/fillcp.dll"_s);
    QString error;
    QVERIFY(!SlipArchive(path).ensureExists(&error));
    QVERIFY2(error.startsWith(u"Impossibile creare l'archivio "_s + path), qPrintable(error));
}

void SlipArchiveTest::loadsAMissingFileAsEmpty()
{
    ArchiveTable table(2);
    QString error;
    QVERIFY(SlipArchive(m_path).load(table, &error));
    QCOMPARE(table.size(), 0);
    QVERIFY(!QFileInfo::exists(m_path));
}

void SlipArchiveTest::loadReportsAnUnreadablePath()
{
    const QString path = m_dir.filePath(u"una-cartella"_s);
    QVERIFY(QDir().mkpath(path));
    ArchiveTable table(1);
    QString error;
    QVERIFY(!SlipArchive(path).load(table, &error));
    QCOMPARE(table.size(), 0);
    QVERIFY2(error.contains(path), qPrintable(error));
}

void SlipArchiveTest::appendCreatesTheFile()
{
    QString error;
    QVERIFY2(SlipArchive(m_path).append(savedRecord("Rossi"), &error), qPrintable(error));
    QCOMPARE(contents(m_path), savedRecord("Rossi"));
    QCOMPARE(QFileInfo(m_path).permissions() & EveryoneReadWrite, EveryoneReadWrite);
    // The lock file stays, empty, and every user can take it.
    QCOMPARE(contents(m_path + u".lock"_s), QByteArray());
    QCOMPARE(QFileInfo(m_path + u".lock"_s).permissions() & EveryoneReadWrite, EveryoneReadWrite);
}

void SlipArchiveTest::appendAddsTheRecordAtTheEnd()
{
    write(m_path, rewrittenRecord("Primo") + savedRecord("Secondo"));
    QVERIFY(SlipArchive(m_path).append(savedRecord("Terzo")));
    QCOMPARE(contents(m_path), rewrittenRecord("Primo") + savedRecord("Secondo") + savedRecord("Terzo"));
}

void SlipArchiveTest::appendStartsANewLineAfterACutFile()
{
    const QByteArray cut = savedRecord("Primo").chopped(2);
    write(m_path, cut);
    QVERIFY(SlipArchive(m_path).append(savedRecord("Secondo")));
    QCOMPARE(contents(m_path), cut + "\r\n" + savedRecord("Secondo"));
    ArchiveTable table;
    QVERIFY(SlipArchive(m_path).load(table));
    QCOMPARE(names(table), QStringList({u"Primo"_s, u"Secondo"_s}));
}

void SlipArchiveTest::appendOnAFullDiskLeavesTheFile()
{
    const QByteArray before = savedRecord("Primo") + savedRecord("Secondo");
    write(m_path, before);
    QString error;
    {
        // Room for a few bytes of the record, not for all of it.
        FileSizeLimit limit(before.size() + 40);
        QVERIFY(limit.active());
        QVERIFY(!SlipArchive(m_path).append(savedRecord("Terzo"), &error));
    }
    QCOMPARE(contents(m_path), before);
    QVERIFY2(error.startsWith(u"Impossibile scrivere nell'archivio "_s + m_path), qPrintable(error));
    QVERIFY2(error.endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(error));
}

void SlipArchiveTest::appendIntoAMissingDirectoryFails()
{
    // A directory that cannot exist, because a file stands where it should be: root cannot bypass it.
    write(m_dir.filePath(u"not-a-dir"_s), "x");
    const QString path = m_dir.filePath(u"not-a-dir/fillcp.dll"_s);
    QString error;
    QVERIFY(!SlipArchive(path).append(savedRecord("Rossi"), &error));
    // The system's reason closes the message, in the system's language.
    QVERIFY2(
        error.startsWith(
            u"Impossibile bloccare l'archivio %1 per scriverlo: il file %1.lock non si può aprire ("_s.arg(
                path)),
        qPrintable(error));
}

void SlipArchiveTest::appendIntoAReadOnlyDirectoryFails()
{
    if (geteuid() == 0)
        QSKIP("root writes into read-only directories; the full-disk and missing-directory cases cover the "
              "failure");
    const QString dir = m_dir.filePath(u"sola-lettura"_s);
    QVERIFY(QDir().mkpath(dir));
    const QString path = dir + u"/fillcp.dll"_s;
    write(path, savedRecord("Primo"));
    QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));
    QString error;
    const bool appended = SlipArchive(path).append(savedRecord("Secondo"), &error);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!appended);
    QVERIFY2(error.contains(path), qPrintable(error));
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
    QVERIFY(archive.load(table));
    QString error;
    QCOMPARE(archive.remove(index, table[index], &error), SlipArchive::RemoveResult::Removed);
    QCOMPARE(contents(m_path), after);

    // A record saved afterwards follows them with its leading spaces.
    QVERIFY(archive.append(savedRecord("Dopo")));
    QCOMPARE(contents(m_path), after + savedRecord("Dopo"));
}

void SlipArchiveTest::removeLeavesTheFileSharedForEveryone()
{
    write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QVERIFY(archive.load(table));
    QCOMPARE(archive.remove(0, table[0]), SlipArchive::RemoveResult::Removed);
    QCOMPARE(QFileInfo(m_path).permissions() & EveryoneReadWrite, EveryoneReadWrite);
}

void SlipArchiveTest::removeSeesChangesByAnotherCopy_data()
{
    QTest::addColumn<QByteArray>("changed"); // the file as the other copy left it
    QTest::addColumn<int>("index");          // in the list loaded before the change
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("after");

    const QByteArray listed = savedRecord("Primo") + savedRecord("Secondo");
    QTest::newRow("record saved after it: kept")
        << listed + savedRecord("Nuovo") << 1 << int(SlipArchive::RemoveResult::Removed)
        << rewrittenRecord("Primo") + rewrittenRecord("Nuovo");
    QTest::newRow("record deleted before it: nothing deleted")
        << savedRecord("Secondo") << 1 << int(SlipArchive::RemoveResult::Moved) << savedRecord("Secondo");
    QTest::newRow("the record itself deleted: nothing deleted")
        << savedRecord("Primo") << 1 << int(SlipArchive::RemoveResult::Moved) << savedRecord("Primo");
    QTest::newRow("record put in front: nothing deleted")
        << rewrittenRecord("Altro") + listed << 0 << int(SlipArchive::RemoveResult::Moved)
        << rewrittenRecord("Altro") + listed;
    QTest::newRow("file removed: nothing written")
        << QByteArray() << 0 << int(SlipArchive::RemoveResult::Moved) << QByteArray("<missing>");
    QTest::newRow("same records in the other shape: deleted")
        << rewrittenRecord("Primo") + rewrittenRecord("Secondo") << 0
        << int(SlipArchive::RemoveResult::Removed) << rewrittenRecord("Secondo");
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
    QVERIFY(archive.load(shown));

    if (changed.isEmpty())
        QVERIFY(QFile::remove(m_path));
    else
        write(m_path, changed);

    QCOMPARE(int(archive.remove(index, shown[index])), result);
    QCOMPARE(contents(m_path), after);
}

void SlipArchiveTest::removeOnAFullDiskLeavesTheFile()
{
    QByteArray before;
    for (int r = 0; r < 12; ++r)
        before += savedRecord("Nome " + QByteArray::number(r));
    write(m_path, before);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QVERIFY(archive.load(table));
    QString error;
    {
        // No room for the rewritten archive.
        FileSizeLimit limit(512);
        QVERIFY(limit.active());
        QCOMPARE(archive.remove(3, table[3], &error), SlipArchive::RemoveResult::Failed);
    }
    QCOMPARE(contents(m_path), before);
    QVERIFY2(error.startsWith(u"Impossibile riscrivere l'archivio "_s + m_path), qPrintable(error));
    QVERIFY2(error.endsWith(u"L'archivio è rimasto com'era."_s), qPrintable(error));
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
    write(m_path, savedRecord("Primo"));
    SlipArchive archive(m_path);
    archive.setLockTimeout(0);
    ArchiveTable table;
    QVERIFY(archive.load(table));

    // Another copy holds the lock.
    const int other = ::open(QFile::encodeName(m_path + u".lock"_s).constData(), O_RDONLY | O_CREAT, 0666);
    QVERIFY(other >= 0);
    QCOMPARE(::flock(other, LOCK_EX | LOCK_NB), 0);
    QString error;
    if (deleting)
        QCOMPARE(archive.remove(0, table[0], &error), SlipArchive::RemoveResult::Failed);
    else
        QVERIFY(!archive.append(savedRecord("Secondo"), &error));
    QCOMPARE(error,
             u"L'archivio %1 è in uso da un'altra copia del programma. Riprovare tra poco."_s.arg(m_path));
    QCOMPARE(contents(m_path), savedRecord("Primo"));

    ::close(other);
    if (deleting)
        QCOMPARE(archive.remove(0, table[0], &error), SlipArchive::RemoveResult::Removed);
    else
        QVERIFY(archive.append(savedRecord("Secondo"), &error));
}

QTEST_GUILESS_MAIN(SlipArchiveTest)
#include "SlipArchiveTest.moc"
