// SPDX-License-Identifier: GPL-3.0-or-later
// The archive against what only POSIX systems can plant or do, on real files and real processes: FIFOs
// and devices where the archive or its lock should be (each operation runs in a forked child that is
// killed if it hangs); a lock file removed while a deletion holds it; a directory that vanishes; a real
// full disk (a small tmpfs). The rest of the safety tests run everywhere (ArchiveSafetyTest).
#include "core/archive/SlipArchive.h"

#include "ArchiveOperations.h"
#include "ArchiveRecords.h"
#include "FailureCompare.h"
#include "FileBytes.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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

} // namespace

class ArchiveSafetyPosixTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void fifosAndDevicesFailAtOnce_data();
    void fifosAndDevicesFailAtOnce();
    void lockRemovedDuringADeletionLosesNoSave();
    void vanishedDirectoryIsReported();
    void fullDiskOnDeleteNamesTheCause();

private:
    QTemporaryDir m_dir;
    QString m_work; // the archive's directory, made anew for each test
    QString m_path; // the archive
};

void ArchiveSafetyPosixTest::init()
{
    QVERIFY(m_dir.isValid());
    static int round = 0;
    m_work = m_dir.filePath(u"round-%1"_s.arg(++round));
    QVERIFY(QDir().mkpath(m_work));
    m_path = m_work + u"/fillcp.dll"_s;
}

void ArchiveSafetyPosixTest::fifosAndDevicesFailAtOnce_data()
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

void ArchiveSafetyPosixTest::fifosAndDevicesFailAtOnce()
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
        const Failure failure = run(Operation(operation), path);
        if (!failure)
            return 1;
        return failure.text().contains(cause) ? 0 : 2;
    });
    QCOMPARE(outcome, 0); // -1: hung; 1: succeeded; 2: another message
    if (planted != u"fillcp.dll"_s)
        QCOMPARE(contents(m_path), savedRecord("Primo"));
}

void ArchiveSafetyPosixTest::lockRemovedDuringADeletionLosesNoSave()
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
        if (archive.load(table))
            ::_exit(3);
        ::_exit(archive.remove(0, table[0]) ? 1 : 0);
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
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Salvato")), Failure());
    int status = 0;
    QCOMPARE(::waitpid(deleter, &status, 0), deleter);
    QVERIFY(WIFEXITED(status));

    // Whatever the order of events, the save reported as done is in the archive.
    const QStringList after = namesIn(m_path);
    QCOMPARE(after.last(), u"Salvato"_s);
    QCOMPARE(after.count(u"Salvato"_s), 1);
    QCOMPARE(after.size(), WEXITSTATUS(status) == 0 ? 60000 : 60001);
}

void ArchiveSafetyPosixTest::vanishedDirectoryIsReported()
{
    write(m_path, savedRecord("Primo"));
    const SlipArchive archive(m_path);
    ArchiveTable table;
    Failure failure;
    QCOMPARE(archive.load(table), Failure());
    QVERIFY(QDir(m_work).removeRecursively());

    const QString cwdArchive = QDir::current().filePath(u"fillcp.dll"_s);
    const bool cwdHadOne = QFileInfo::exists(cwdArchive);
    failure = archive.append(savedRecord("Secondo"));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(failure.text(), u"Impossibile scrivere nell'archivio %1: la cartella %2 non esiste più.\n"
                             u"L'archivio è rimasto com'era."_s.arg(m_path, m_work));
    failure = archive.load(table);
    QVERIFY(failure);
    QCOMPARE(failure.text(),
             u"Impossibile leggere l'archivio %1: la cartella %2 non esiste più."_s.arg(m_path, m_work));
    failure = archive.remove(0, table.value(0));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    // Nothing was written anywhere else, and the directory was not made again behind the user's back.
    QVERIFY(!QFileInfo::exists(m_work));
    QCOMPARE(QFileInfo::exists(cwdArchive), cwdHadOne);

    // A directory made anew at the same place is another one: the archive does not move into it.
    QVERIFY(QDir().mkpath(m_work));
    failure = archive.append(savedRecord("Secondo"));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(
        failure.text(),
        u"Impossibile scrivere nell'archivio %1: la cartella %2 è stata rimossa e sostituita da "
        u"un'altra mentre il programma era aperto.\nL'archivio è rimasto com'era."_s.arg(m_path, m_work));
    QVERIFY(!QFileInfo::exists(m_path));
}

void ArchiveSafetyPosixTest::fullDiskOnDeleteNamesTheCause()
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
        Failure failure;
        QCOMPARE(archive.ensureExists(), Failure());
        QCOMPARE(archive.append(savedRecord("Ultimo")), Failure());
        before += savedRecord("Ultimo");
        ArchiveTable table;
        QCOMPARE(archive.load(table), Failure());
        // Fill the rest of the file system.
        QFile filler(m_work + u"/riempimento"_s);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        filler.close();
        failure = archive.remove(5, table[5]);
        QCOMPARE(failure.kind(), Failure::Kind::Failed);
        QCOMPARE(failure.text(), u"Impossibile riscrivere l'archivio %1: spazio esaurito sul disco.\n"
                                 u"L'archivio è rimasto com'era."_s.arg(m_path));
        QCOMPARE(contents(m_path), before);
        QCOMPARE(QDir(m_work).entryList(QDir::Files | QDir::Hidden),
                 QStringList({u"fillcp.dll"_s, u"fillcp.dll.lock"_s, u"riempimento"_s}));
    }
}

QTEST_GUILESS_MAIN(ArchiveSafetyPosixTest)
#include "ArchiveSafetyPosixTest.moc"
