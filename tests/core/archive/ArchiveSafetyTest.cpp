// SPDX-License-Identifier: GPL-3.0-or-later

// The archive against hostile or unlucky files, on real files and real processes: links, FIFOs and
// devices planted where the archive, its lock or its temporary file should be; a record cut short; a file
// converted twice; a lock removed while held; a directory that vanishes; a full disk; a held lock.
#include "core/archive/SlipArchive.h"

#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QStringList namesIn(const QString& path)
{
    ArchiveTable table;
    QString error;
    if (!SlipArchive(path).load(table, error))
        return {u"<"_s + error + u'>'};
    return names(table);
}

struct FileState {
    mode_t mode = 0;
    QByteArray bytes;
    friend bool operator==(const FileState&, const FileState&) = default;
};

FileState stateOf(const QString& path)
{
    struct stat status {
    };
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return {mode_t(-1), {}};
    return {mode_t(status.st_mode & 07777), contents(path)};
}

// Runs operation in a child process and waits for it at most timeoutMs. Returns the child's exit code,
// or -1 when it had to be killed because it hung.
int inChild(const std::function<int()>& operation, int timeoutMs = 10000)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(operation());
    if (child < 0)
        return -2;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -3;
        if (deadline.hasExpired())
            break;
        ::usleep(10000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

enum Operation { Load, Ensure, Append, Remove };

// Runs one operation on the archive at path; true when it succeeded. error gets its message.
bool run(Operation operation, const QString& path, QString& error)
{
    SlipArchive archive(path);
    archive.setLockTimeout(200);
    switch (operation) {
    case Load: {
        ArchiveTable table;
        return archive.load(table, error);
    }
    case Ensure:
        return archive.ensureExists(error);
    case Append:
        return archive.append(savedRecord("Nuovo"), error) == SlipArchive::WriteResult::Written;
    case Remove: {
        // The first record as the list showed it.
        const ArchiveTable shown = readArchive(savedRecord("Primo"));
        return archive.remove(0, shown[0], error) == SlipArchive::RemoveResult::Removed;
    }
    }
    return false;
}

} // namespace

class ArchiveSafetyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void plantedLinksAreNeverFollowed_data();
    void plantedLinksAreNeverFollowed();
    void fifosAndDevicesFailAtOnce_data();
    void fifosAndDevicesFailAtOnce();

    void saveAfterACutRecordIsARecordOfItsOwn_data();
    void saveAfterACutRecordIsARecordOfItsOwn();
    void deleteInAFileConvertedTwiceKeepsEveryRecord();
    void appendAllIsAllOrNothing();
    void tooLargeAnArchiveIsRefused();

    void lockRemovedDuringADeletionLosesNoSave();
    void vanishedDirectoryIsReported();
    void fullDiskOnDeleteNamesTheCause();
    void heldLockWaitIsBounded();

private:
    QTemporaryDir m_dir;
    QString m_work;    // the archive's directory, made anew for each test
    QString m_path;    // the archive
    QString m_outside; // a file of "someone else", outside the archive's directory
};

void ArchiveSafetyTest::init()
{
    QVERIFY(m_dir.isValid());
    static int round = 0;
    m_work = m_dir.filePath(u"round-%1"_s.arg(++round));
    QVERIFY(QDir().mkpath(m_work));
    m_path = m_work + u"/fillcp.dll"_s;
    m_outside = m_dir.filePath(u"segreto-%1"_s.arg(round));
    write(m_outside, "contenuto di un altro\n");
    QVERIFY(QFile::setPermissions(m_outside, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
}

void ArchiveSafetyTest::plantedLinksAreNeverFollowed_data()
{
    QTest::addColumn<QString>("planted"); // name in the archive's directory made a link to m_outside
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("succeeds"); // the operation goes on without the planted name
    QTest::addColumn<QString>("cause"); // in the message when it does not

    const QString link = u"al suo posto c'è un collegamento simbolico, che non viene seguito"_s;
    QTest::newRow("archive, at start-up") << u"fillcp.dll"_s << int(Ensure) << false << link;
    QTest::newRow("archive, list") << u"fillcp.dll"_s << int(Load) << false << link;
    QTest::newRow("archive, save") << u"fillcp.dll"_s << int(Append) << false << link;
    QTest::newRow("archive, delete") << u"fillcp.dll"_s << int(Remove) << false << link;
    QTest::newRow("lock, save") << u"fillcp.dll.lock"_s << int(Append) << false << link;
    QTest::newRow("lock, delete") << u"fillcp.dll.lock"_s << int(Remove) << false << link;
    QTest::newRow("temporary file, delete") << u"fillcp.dll.nuovo"_s << int(Remove) << true << QString();
}

void ArchiveSafetyTest::plantedLinksAreNeverFollowed()
{
    QFETCH(QString, planted);
    QFETCH(int, operation);
    QFETCH(bool, succeeds);
    QFETCH(QString, cause);
    if (planted != u"fillcp.dll"_s)
        write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    QVERIFY(QFile::link(m_outside, m_work + u'/' + planted));
    const FileState before = stateOf(m_outside);

    QString error;
    QCOMPARE(run(Operation(operation), m_path, error), succeeds);
    if (!succeeds)
        QVERIFY2(error.contains(cause), qPrintable(error));
    QCOMPARE(stateOf(m_outside), before);
    if (succeeds)
        QCOMPARE(namesIn(m_path), QStringList({u"Secondo"_s}));
}

void ArchiveSafetyTest::fifosAndDevicesFailAtOnce_data()
{
    QTest::addColumn<QString>("planted");
    QTest::addColumn<bool>("device"); // a character device (the null device) instead of a FIFO
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("cause");

    const QString fifo = u"al suo posto c'è una FIFO, non un file"_s;
    const QString device = u"al suo posto c'è un dispositivo, non un file"_s;
    for (const auto& [name, label] :
         {std::pair(u"fillcp.dll"_s, "archive"), std::pair(u"fillcp.dll.lock"_s, "lock")}) {
        const QList<std::pair<Operation, const char*>> operations =
            name == u"fillcp.dll"_s
                ? QList<std::pair<Operation, const char*>>{{Ensure, "start-up"},
                                                           {Load, "list"},
                                                           {Append, "save"},
                                                           {Remove, "delete"}}
                : QList<std::pair<Operation, const char*>>{{Append, "save"}, {Remove, "delete"}};
        for (const auto& [operation, what] : operations) {
            QTest::addRow("FIFO as %s, %s", label, what) << name << false << int(operation) << fifo;
            QTest::addRow("device as %s, %s", label, what) << name << true << int(operation) << device;
        }
    }
}

void ArchiveSafetyTest::fifosAndDevicesFailAtOnce()
{
    QFETCH(QString, planted);
    QFETCH(bool, device);
    QFETCH(int, operation);
    QFETCH(QString, cause);
    if (planted != u"fillcp.dll"_s)
        write(m_path, savedRecord("Primo"));
    const QByteArray where = QFile::encodeName(m_work + u'/' + planted);
    if (device) {
        if (::mknod(where.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("making a device node needs root");
    } else {
        QCOMPARE(::mkfifo(where.constData(), 0666), 0);
    }
    // In a child, so that a hang fails the test instead of stopping it.
    const QString path = m_path;
    const int outcome = inChild([&] {
        QString error;
        if (run(Operation(operation), path, error))
            return 1;
        return error.contains(cause) ? 0 : 2;
    });
    QCOMPARE(outcome, 0); // -1: hung; 1: succeeded; 2: another message
    if (planted != u"fillcp.dll"_s)
        QCOMPARE(contents(m_path), savedRecord("Primo"));
}

void ArchiveSafetyTest::saveAfterACutRecordIsARecordOfItsOwn_data()
{
    QTest::addColumn<QByteArray>("before");

    const QByteArray whole = savedRecord("Primo");
    QTest::newRow("cut after the marker") << Marker + "\r\n";
    QTest::newRow("cut after five values") << whole.left(whole.indexOf(" 10,00"));
    QTest::newRow("cut inside a value") << whole.left(whole.indexOf("dieci") + 2);
    QTest::newRow("cut inside the last value") << whole.chopped(3);
    QTest::newRow("marker without a line end") << Marker;
    QTest::newRow("lone CR line ends, cut") << whole.left(whole.indexOf(" 10,00")).replace("\r\n", "\r");
    QTest::newRow("CR CR LF line ends, cut") << whole.left(whole.indexOf(" 10,00")).replace("\r\n", "\r\r\n");
    QTest::newRow("cut between CR and LF") << whole.left(whole.indexOf(" 10,00") - 1);
}

void ArchiveSafetyTest::saveAfterACutRecordIsARecordOfItsOwn()
{
    QFETCH(QByteArray, before);
    write(m_path, before);
    const SlipArchive archive(m_path);
    QString error;
    QVERIFY2(archive.append(savedRecord("Nuovo"), error) == SlipArchive::WriteResult::Written,
             qPrintable(error));

    ArchiveTable table;
    QVERIFY(archive.load(table, error));
    QCOMPARE(table.size(), 2);
    QCOMPARE(table[1].columns(), QStringList({u"07 dicembre 2026"_s,
                                              u"Nuovo"_s,
                                              {},
                                              {},
                                              {},
                                              u"10,00"_s,
                                              u"dieci/00"_s,
                                              {},
                                              {},
                                              {},
                                              u"1234"_s,
                                              {},
                                              u"123"_s,
                                              u"False"_s,
                                              u"True"_s,
                                              u"1"_s}));
    // The cut record keeps what it had and is deleted without taking the new one along.
    QCOMPARE(archive.remove(0, table[0], error), SlipArchive::RemoveResult::Removed);
    QCOMPARE(namesIn(m_path), QStringList({u"Nuovo"_s}));
}

void ArchiveSafetyTest::deleteInAFileConvertedTwiceKeepsEveryRecord()
{
    QByteArray converted;
    for (const QByteArray name : {"Primo", "Secondo", "Terzo", "Quarto"})
        converted += savedRecord(name).replace("\r\n", "\r\r\n");
    write(m_path, converted);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QString error;
    QVERIFY(archive.load(table, error));
    QCOMPARE(names(table), QStringList({u"Primo"_s, u"Secondo"_s, u"Terzo"_s, u"Quarto"_s}));
    QCOMPARE(archive.remove(1, table[1], error), SlipArchive::RemoveResult::Removed);

    // Every kept record whole, in the rewrite shape with CR LF.
    const QByteArray rest =
        Marker +
        "\r\n07 dicembre 2026\r\n%\r\n\r\n\r\n\r\n10,00\r\ndieci/00\r\n\r\n\r\n\r\n1234\r\n\r\n123\r\n"
        "False\r\nTrue\r\n1\r\n";
    QCOMPARE(contents(m_path), QByteArray(rest).replace("%", "Primo") +
                                   QByteArray(rest).replace("%", "Terzo") +
                                   QByteArray(rest).replace("%", "Quarto"));
}

void ArchiveSafetyTest::appendAllIsAllOrNothing()
{
    const QByteArray before = savedRecord("Primo");
    write(m_path, before);
    const SlipArchive archive(m_path);
    QString error;
    QVERIFY2(archive.appendAll({savedRecord("A"), savedRecord("B"), savedRecord("C")}, error) ==
                 SlipArchive::WriteResult::Written,
             qPrintable(error));
    QCOMPARE(namesIn(m_path), QStringList({u"Primo"_s, u"A"_s, u"B"_s, u"C"_s}));

    // A batch that does not fit: none of it is kept.
    const QByteArray full = contents(m_path);
    {
        FileSizeLimit limit(full.size() + savedRecord("D").size() + 10);
        QVERIFY(limit.active());
        QCOMPARE(archive.appendAll({savedRecord("D"), savedRecord("E")}, error),
                 SlipArchive::WriteResult::Failed);
    }
    QCOMPARE(contents(m_path), full);
    QCOMPARE(error,
             u"Impossibile scrivere nell'archivio %1: il file supera la dimensione massima consentita.\n"
             u"L'archivio è rimasto com'era."_s.arg(m_path));
}

void ArchiveSafetyTest::tooLargeAnArchiveIsRefused()
{
    // A sparse file of 3 GiB: no disk space used, and no attempt to hold it in memory either.
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(3) << 30));
    }
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QString error;
    QVERIFY(!archive.load(table, error));
    QCOMPARE(table.size(), 0);
    QCOMPARE(error,
             u"Impossibile leggere l'archivio %1: il file è troppo grande per essere letto (3072 MB, al "
             u"massimo 1024 MB). Spostare %1 altrove e ricominciare con un archivio vuoto, o tenerne "
             u"solo una parte."_s.arg(m_path));
    QCOMPARE(archive.append(savedRecord("Nuovo"), error), SlipArchive::WriteResult::Failed);
    QVERIFY2(
        error.startsWith(u"Impossibile scrivere nell'archivio %1: il file è troppo grande"_s.arg(m_path)),
        qPrintable(error));
    QCOMPARE(QFileInfo(m_path).size(), qint64(3) << 30);
}

void ArchiveSafetyTest::lockRemovedDuringADeletionLosesNoSave()
{
    // Large enough that the deletion takes a while; the other copy strikes while it holds the lock.
    QByteArray many;
    for (int r = 0; r < 60000; ++r)
        many += savedRecord("Vecchio " + QByteArray::number(r));
    write(m_path, many);
    const QString lockPath = m_path + u".lock"_s;
    const QString path = m_path;

    const pid_t deleter = ::fork();
    if (deleter == 0) {
        const SlipArchive archive(path);
        ArchiveTable table;
        QString error;
        if (!archive.load(table, error))
            ::_exit(3);
        const SlipArchive::RemoveResult result = archive.remove(0, table[0], error);
        ::_exit(result == SlipArchive::RemoveResult::Removed ? 0 : 1);
    }
    QVERIFY(deleter > 0);
    // Wait until the deleter holds the lock, then remove the lock file and save, as a careless user and a
    // second copy would.
    // Polled until the lock is seen held, or the deleter has already finished (looked at without
    // reaping it), or 30 s have passed.
    const auto deleterEnded = [deleter] {
        siginfo_t info{};
        return ::waitid(P_PID, id_t(deleter), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
               info.si_pid == deleter;
    };
    bool seenHeld = false;
    const QDeadlineTimer deadline(30000);
    while (!seenHeld && !deadline.hasExpired() && !deleterEnded()) {
        const int probe = ::open(QFile::encodeName(lockPath).constData(), O_RDONLY | O_CLOEXEC);
        if (probe >= 0) {
            seenHeld = ::flock(probe, LOCK_EX | LOCK_NB) != 0;
            ::close(probe);
        }
        if (!seenHeld)
            ::usleep(1000);
    }
    QVERIFY(QFile::remove(lockPath));
    QString error;
    QVERIFY2(SlipArchive(m_path).append(savedRecord("Salvato"), error) == SlipArchive::WriteResult::Written,
             qPrintable(error));
    int status = 0;
    QCOMPARE(::waitpid(deleter, &status, 0), deleter);
    QVERIFY(WIFEXITED(status));

    // Whatever the order of events, the save reported as done is in the archive.
    const QStringList after = namesIn(m_path);
    QCOMPARE(after.last(), u"Salvato"_s);
    QCOMPARE(after.count(u"Salvato"_s), 1);
    QCOMPARE(after.size(), WEXITSTATUS(status) == 0 ? 60000 : 60001);
}

void ArchiveSafetyTest::vanishedDirectoryIsReported()
{
    write(m_path, savedRecord("Primo"));
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QString error;
    QVERIFY(archive.load(table, error));
    QVERIFY(QDir(m_work).removeRecursively());

    const QString cwdArchive = QDir::current().filePath(u"fillcp.dll"_s);
    const bool cwdHadOne = QFileInfo::exists(cwdArchive);
    QCOMPARE(archive.append(savedRecord("Secondo"), error), SlipArchive::WriteResult::Failed);
    QCOMPARE(error, u"Impossibile scrivere nell'archivio %1: la cartella %2 non esiste più.\n"
                    u"L'archivio è rimasto com'era."_s.arg(m_path, m_work));
    QVERIFY(!archive.load(table, error));
    QCOMPARE(error,
             u"Impossibile leggere l'archivio %1: la cartella %2 non esiste più."_s.arg(m_path, m_work));
    QCOMPARE(archive.remove(0, table.value(0), error), SlipArchive::RemoveResult::Failed);
    // Nothing was written anywhere else, and the directory was not made again behind the user's back.
    QVERIFY(!QFileInfo::exists(m_work));
    QCOMPARE(QFileInfo::exists(cwdArchive), cwdHadOne);

    // A directory made anew at the same place is another one: the archive does not move into it.
    QVERIFY(QDir().mkpath(m_work));
    QCOMPARE(archive.append(savedRecord("Secondo"), error), SlipArchive::WriteResult::Failed);
    QCOMPARE(error, u"Impossibile scrivere nell'archivio %1: la cartella %2 è stata rimossa e sostituita da "
                    u"un'altra mentre il programma era aperto.\nL'archivio è rimasto com'era."_s.arg(m_path,
                                                                                                     m_work));
    QVERIFY(!QFileInfo::exists(m_path));
}

void ArchiveSafetyTest::fullDiskOnDeleteNamesTheCause()
{
    // A small file system of its own, filled up: the real "disk full" of the system.
    const QByteArray mountPoint = QFile::encodeName(m_work);
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("mounting a small file system needs root; the file-size limit cases cover the write failure");
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    QByteArray before;
    for (int r = 0; r < 60; ++r)
        before += savedRecord("Nome " + QByteArray::number(r));
    write(m_path, before); // about 6 KB
    {
        const SlipArchive archive(m_path);
        QString error;
        QVERIFY(archive.ensureExists(error));
        QCOMPARE(archive.append(savedRecord("Ultimo"), error), SlipArchive::WriteResult::Written);
        before += savedRecord("Ultimo");
        ArchiveTable table;
        QVERIFY(archive.load(table, error));
        // Fill the rest of the file system.
        QFile filler(m_work + u"/riempimento"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        filler.close();
        QCOMPARE(archive.remove(5, table[5], error), SlipArchive::RemoveResult::Failed);
        QCOMPARE(error, u"Impossibile riscrivere l'archivio %1: spazio esaurito sul disco.\n"
                        u"L'archivio è rimasto com'era."_s.arg(m_path));
        QCOMPARE(contents(m_path), before);
        QCOMPARE(QDir(m_work).entryList(QDir::Files | QDir::Hidden),
                 QStringList({u"fillcp.dll"_s, u"fillcp.dll.lock"_s, u"riempimento"_s}));
    }
}

void ArchiveSafetyTest::heldLockWaitIsBounded()
{
    write(m_path, savedRecord("Primo"));
    // Another process takes the lock and keeps it until it is killed.
    int ready[2];
    QCOMPARE(::pipe(ready), 0);
    const QByteArray lockPath = QFile::encodeName(m_path + u".lock"_s);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_CREAT, 0600);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0)
            ::_exit(1);
        char one = 1;
        (void)!::write(ready[1], &one, 1);
        for (;;)
            ::pause();
    }
    char got = 0;
    QCOMPARE(::read(ready[0], &got, 1), ssize_t(1));
    ::close(ready[0]);
    ::close(ready[1]);

    // With the default wait, each writer gives up and says the archive is busy; a hang fails here.
    const QString path = m_path;
    const int outcome = inChild([&] {
        const SlipArchive archive(path);
        QString error;
        if (archive.append(savedRecord("Secondo"), error) != SlipArchive::WriteResult::Busy)
            return 1;
        ArchiveTable table;
        QString loadError;
        if (!archive.load(table, loadError) ||
            archive.remove(0, table[0], error) != SlipArchive::RemoveResult::Busy)
            return 2;
        return error == u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(path) ? 0 : 3;
    });
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    QCOMPARE(outcome, 0);
    QCOMPARE(contents(m_path), savedRecord("Primo"));
    // Its process gone, the lock is free.
    QString error;
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Secondo"), error), SlipArchive::WriteResult::Written);
}

QTEST_GUILESS_MAIN(ArchiveSafetyTest)
#include "ArchiveSafetyTest.moc"
