// SPDX-License-Identifier: GPL-3.0-or-later
// The file layer's promises, the same test on every system (POSIX, and Windows under Wine): the lock
// held by another process (file_layer_helper) and by another handle, and dropped when its holder dies;
// a file replaced while a reader holds the old one; a link at the name refused; a full disk; only plain
// files opened. Every folder and file name here holds characters beyond Latin-1.
#include "core/files/FileHandle.h"
#include "core/files/SystemError.h"

#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "SystemFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A name of every script the program may meet in a user's folders.
const QString Folder = u"cartella è € ŝ Ω 日本 😀"_s;
const QString Archive = u"archivio-àèìòù-€-日本.dll"_s;

constexpr int LongWait = 20000; // ms: anything the system does at once, even on a busy machine

// The file's first size bytes (fewer when it is shorter), read through the handle.
QByteArray read(const FileHandle& file, qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    qsizetype got = 0;
    if (!file.readFully(0, bytes.data(), size, got))
        return "<errore>";
    bytes.truncate(got);
    return bytes;
}

} // namespace

class FileLayerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void lockHeldByAnotherProcessIsWaitedForThenTaken();
    void lockGoesWithAKilledHolder();
    void lockIsExclusiveBetweenHandlesOfOneProcess();

    void replaceLeavesTheReaderWithTheOldFile();
    void replaceHeldByAnotherChangesAllOrNothing();
    void linkAtTheNameIsRefusedAndNeverFollowed();
    void onlyPlainFilesAreOpened();
    void fullDiskFailsTheWriteAndKeepsWhatFit();

private:
    // Starts the helper holding the lock on name in the folder; false when it did not say so in time.
    bool startHolder(QProcess& holder, const QString& name);

    std::unique_ptr<QTemporaryDir> m_temporary;
    QString m_folderPath;
    DirectoryHandle m_folder;
};

void FileLayerTest::init()
{
    m_temporary = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temporary->isValid());
    m_folderPath = m_temporary->filePath(Folder);
    QVERIFY(QDir().mkdir(m_folderPath));
    QVERIFY2(m_folder.open(m_folderPath), qPrintable(systemErrorText(lastFileError())));
}

void FileLayerTest::cleanup()
{
    // Windows removes no folder that is held open.
    m_folder = {};
    m_temporary.reset();
}

bool FileLayerTest::startHolder(QProcess& holder, const QString& name)
{
    holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    holder.start(QCoreApplication::applicationDirPath() + u"/file_layer_helper"_s,
                 {u"lock"_s, m_folderPath, name});
    if (!holder.waitForStarted(LongWait))
        return false;
    const QDeadlineTimer deadline(LongWait);
    while (!holder.canReadLine()) {
        if (deadline.hasExpired() || holder.state() != QProcess::Running)
            return false;
        holder.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return holder.readLine().trimmed() == "bloccato";
}

void FileLayerTest::lockHeldByAnotherProcessIsWaitedForThenTaken()
{
    const QString lockName = Archive + u".lock"_s;
    QProcess holder;
    QVERIFY(startHolder(holder, lockName));

    {
        DirectoryHandle::Opened mine = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, true);
        QVERIFY2(mine.file.isOpen(), qPrintable(mine.cause));
        QVERIFY(!mine.created); // the holder's own file
        // The wait is bounded, and waits: it gives up after the time it was given, not at once.
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(mine.file.lock(QDeadlineTimer(300)), FileHandle::LockResult::Busy);
        QVERIFY2(waited.elapsed() >= 290, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(waited.elapsed() < LongWait, qPrintable(QString::number(waited.elapsed())));
    }

    // A new try (on a new handle, as the archive makes one) is handed the lock once the holder lets go.
    DirectoryHandle::Opened mine = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, true);
    QVERIFY2(mine.file.isOpen(), qPrintable(mine.cause));
    holder.closeWriteChannel();
    QCOMPARE(mine.file.lock(QDeadlineTimer(LongWait)), FileHandle::LockResult::Locked);
    QVERIFY(holder.waitForFinished(LongWait));
    QCOMPARE(holder.exitCode(), 0);
}

void FileLayerTest::lockGoesWithAKilledHolder()
{
    const QString lockName = Archive + u".lock"_s;
    QProcess holder;
    QVERIFY(startHolder(holder, lockName));
    DirectoryHandle::Opened mine = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, true);
    QVERIFY2(mine.file.isOpen(), qPrintable(mine.cause));
    QCOMPARE(mine.file.lock(QDeadlineTimer(0)), FileHandle::LockResult::Busy);

    holder.kill();
    QVERIFY(holder.waitForFinished(LongWait));
    DirectoryHandle::Opened again = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, false);
    QVERIFY2(again.file.isOpen(), qPrintable(again.cause));
    QCOMPARE(again.file.lock(QDeadlineTimer(LongWait)), FileHandle::LockResult::Locked);
}

void FileLayerTest::lockIsExclusiveBetweenHandlesOfOneProcess()
{
    const QString lockName = Archive + u".lock"_s;
    DirectoryHandle::Opened first = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, true);
    QVERIFY2(first.file.isOpen(), qPrintable(first.cause));
    QVERIFY(first.created);
    QCOMPARE(first.file.lock(QDeadlineTimer(0)), FileHandle::LockResult::Locked);

    DirectoryHandle::Opened second = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, true);
    QVERIFY2(second.file.isOpen(), qPrintable(second.cause));
    QVERIFY(!second.created);
    QCOMPARE(second.file.lock(QDeadlineTimer(0)), FileHandle::LockResult::Busy);

    // Closing the holder's handle lets the lock go.
    first.file.close();
    DirectoryHandle::Opened third = m_folder.openRegular(lockName, DirectoryHandle::Access::Read, false);
    QVERIFY2(third.file.isOpen(), qPrintable(third.cause));
    QCOMPARE(third.file.lock(QDeadlineTimer(LongWait)), FileHandle::LockResult::Locked);
}

void FileLayerTest::replaceLeavesTheReaderWithTheOldFile()
{
    FileHandle old;
    QVERIFY(m_folder.createNew(Archive, DirectoryHandle::Access::WriteAppend, old));
    QVERIFY(old.writeAll("vecchio", 7));
    QVERIFY(old.flush());
    old.close();

    DirectoryHandle::Opened reader = m_folder.openRegular(Archive, DirectoryHandle::Access::Read, false);
    QVERIFY2(reader.file.isOpen(), qPrintable(reader.cause));
    QVERIFY(m_folder.nameIs(Archive, reader.file));

    const QString temporary = Archive + u".nuovo"_s;
    FileHandle replacement;
    QVERIFY(m_folder.createNew(temporary, DirectoryHandle::Access::WriteAppend, replacement));
    QVERIFY(replacement.writeAll("nuovo contenuto", 15));
    QVERIFY(replacement.flush());
    replacement.close();
    QVERIFY2(m_folder.replace(temporary, Archive, &reader.file),
             qPrintable(systemErrorText(lastFileError())));
    QVERIFY(m_folder.flush());

    // The reader keeps the file it opened, and knows it is no longer the one at the name; unless the
    // system could not replace a file held open, and closed it first (Wine; Windows without the POSIX
    // renames).
    if (reader.file.isOpen()) {
        QCOMPARE(read(reader.file, 100), QByteArray("vecchio"));
        QVERIFY(!m_folder.nameIs(Archive, reader.file));
    } else {
        qInfo("this system closed the reader to replace its file");
    }
    FileStatus byName;
    QVERIFY(m_folder.statusOf(Archive, byName));
    QCOMPARE(byName.size, 15);
    QVERIFY(!m_folder.statusOf(temporary, byName));
    QVERIFY(isFileError(lastFileError(), FileErrorKind::Missing));

    DirectoryHandle::Opened fresh = m_folder.openRegular(Archive, DirectoryHandle::Access::Read, false);
    QVERIFY2(fresh.file.isOpen(), qPrintable(fresh.cause));
    QCOMPARE(read(fresh.file, 100), QByteArray("nuovo contenuto"));
    QVERIFY(m_folder.nameIs(Archive, fresh.file));
}

void FileLayerTest::replaceHeldByAnotherChangesAllOrNothing()
{
    write(m_folderPath + u'/' + Archive, "vecchio");
    DirectoryHandle::Opened other = m_folder.openRegular(Archive, DirectoryHandle::Access::Read, false);
    QVERIFY2(other.file.isOpen(), qPrintable(other.cause));
    const QString temporary = Archive + u".nuovo"_s;
    write(m_folderPath + u'/' + temporary, "nuovo");

    // Replaced under the other holder, who keeps the old file; or refused, with both files as they were.
    FileStatus status;
    if (m_folder.replace(temporary, Archive)) {
        QCOMPARE(contents(m_folderPath + u'/' + Archive), QByteArray("nuovo"));
        QVERIFY(!m_folder.statusOf(temporary, status));
        QCOMPARE(read(other.file, 100), QByteArray("vecchio"));
    } else {
        qInfo("refused: %s", qPrintable(systemErrorText(lastFileError())));
        QCOMPARE(contents(m_folderPath + u'/' + Archive), QByteArray("vecchio"));
        QCOMPARE(contents(m_folderPath + u'/' + temporary), QByteArray("nuovo"));
        QVERIFY(other.file.isOpen());
        QVERIFY(m_folder.nameIs(Archive, other.file));
    }
}

void FileLayerTest::linkAtTheNameIsRefusedAndNeverFollowed()
{
    const QString target = m_folderPath + u"/vero.dll"_s;
    write(target, "da non toccare");
    const QString link = u"finto-€.dll"_s;
    QString why;
    if (!makeSymbolicLink(target, m_folderPath + u'/' + link, why))
        QSKIP(qPrintable(u"no symbolic link can be made here: "_s + why));

    FileStatus status;
    QVERIFY(m_folder.statusOf(link, status));
    QCOMPARE(status.kind, FileKind::Link);
    for (const DirectoryHandle::Access access :
         {DirectoryHandle::Access::Read, DirectoryHandle::Access::ReadWrite,
          DirectoryHandle::Access::WriteAppend}) {
        DirectoryHandle::Opened opened = m_folder.openRegular(link, access, true);
        QVERIFY(!opened.file.isOpen());
        QVERIFY(!opened.created);
        QVERIFY(!opened.missing);
        QCOMPARE(opened.cause, u"al suo posto c'è un collegamento simbolico, che non viene seguito"_s);
    }
    // Nothing is made through it either, and removing it takes the link alone.
    FileHandle made;
    QVERIFY(!m_folder.createNew(link, DirectoryHandle::Access::WriteAppend, made));
    QVERIFY(isFileError(lastFileError(), FileErrorKind::Exists));
    QVERIFY(m_folder.remove(link));
    QVERIFY(!m_folder.statusOf(link, status));
    QCOMPARE(contents(target), QByteArray("da non toccare"));
}

void FileLayerTest::onlyPlainFilesAreOpened()
{
    // Nothing there: missing without create, made (once) with it.
    DirectoryHandle::Opened absent = m_folder.openRegular(Archive, DirectoryHandle::Access::Read, false);
    QVERIFY(!absent.file.isOpen());
    QVERIFY(absent.missing);
    QCOMPARE(absent.cause, u"file o cartella inesistente"_s);
    DirectoryHandle::Opened made = m_folder.openRegular(Archive, DirectoryHandle::Access::ReadWrite, true);
    QVERIFY2(made.file.isOpen(), qPrintable(made.cause));
    QVERIFY(made.created);
    QCOMPARE(made.status.kind, FileKind::Regular);
    QCOMPARE(made.status.size, 0);
    QVERIFY(made.file.writeAll("abc", 3));
    DirectoryHandle::Opened again = m_folder.openRegular(Archive, DirectoryHandle::Access::ReadWrite, true);
    QVERIFY(!again.created);
    QVERIFY(again.status.identity == made.status.identity);
    QCOMPARE(again.status.size, 3);
    FileHandle taken;
    QVERIFY(!m_folder.createNew(Archive, DirectoryHandle::Access::WriteAppend, taken));
    QVERIFY(isFileError(lastFileError(), FileErrorKind::Exists));

    // A folder at the name is told as one, whatever the system says when it is opened as a file.
    QVERIFY(QDir().mkdir(m_folderPath + u"/sotto"_s));
    DirectoryHandle::Opened folder = m_folder.openRegular(u"sotto"_s, DirectoryHandle::Access::Read, false);
    QVERIFY(!folder.file.isOpen());
    QCOMPARE(folder.cause, u"al suo posto c'è una cartella"_s);
    FileStatus status;
    QVERIFY(m_folder.statusOf(u"sotto"_s, status));
    QCOMPARE(status.kind, FileKind::Directory);
}

void FileLayerTest::fullDiskFailsTheWriteAndKeepsWhatFit()
{
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    FileHandle file;
    QVERIFY(m_folder.createNew(Archive, DirectoryHandle::Access::WriteAppend, file));
    const QByteArray bytes(4000, 'x');
    {
        const FileSizeLimit limit(1000);
        QVERIFY(limit.active());
        QVERIFY(!file.writeAll(bytes.constData(), bytes.size()));
        QCOMPARE(systemErrorText(lastFileError()), u"il file supera la dimensione massima consentita"_s);
    }
    FileStatus status;
    QVERIFY(file.status(status));
    QCOMPARE(status.size, 1000);
    // What an append that failed half-way left is cut off again, as the archive does.
    QVERIFY(file.truncate(0));
    QVERIFY(file.flush());
    QVERIFY(file.status(status));
    QCOMPARE(status.size, 0);
}

QTEST_GUILESS_MAIN(FileLayerTest)
#include "FileLayerTest.moc"
