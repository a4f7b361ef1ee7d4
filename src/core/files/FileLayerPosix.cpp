// SPDX-License-Identifier: GPL-3.0-or-later
// The file layer on POSIX systems: descriptors, and every name opened through its folder's descriptor.
#include "core/files/FileHandle.h"

#include "core/files/SystemError.h"
#include "core/files/UserFolders.h"

#include "core/BuildConfig.h"

#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

thread_local int t_lastError = 0;

// Records error as the cause of the failed call; false, for the caller to return.
bool failed(int error)
{
    t_lastError = error;
    return false;
}

// No link at the name is followed, a FIFO opens at once instead of waiting for a writer, and no
// descriptor leaks into a program started later.
constexpr int SafeFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

int accessFlags(DirectoryHandle::Access access)
{
    switch (access) {
    case DirectoryHandle::Access::Read:
        return O_RDONLY;
    case DirectoryHandle::Access::ReadWrite:
        return O_RDWR | O_APPEND;
    case DirectoryHandle::Access::WriteAppend:
        return O_WRONLY | O_APPEND;
    }
    return O_RDONLY;
}

} // namespace

FileKind fileKindOfMode(quint32 mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISLNK(mode))
        return FileKind::Link;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return FileKind::Device;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    return FileKind::Other;
}

namespace {

FileStatus statusFrom(const struct stat& status)
{
    FileStatus result;
    result.identity = {quint64(status.st_dev), quint64(status.st_ino)};
    result.kind = fileKindOfMode(status.st_mode);
    result.size = qint64(status.st_size);
    result.links = quint64(status.st_nlink);
    result.modified = qint64(status.st_mtim.tv_sec) * 1000000000 + qint64(status.st_mtim.tv_nsec);
    result.owner = quint32(status.st_uid);
    result.group = quint32(status.st_gid);
    result.mode = quint32(status.st_mode & 07777);
    return result;
}

int fdOf(const FileHandle& file)
{
    return int(file.native());
}

// Waits for the lock of fd until deadline; false when it did not come, or on an error (set in error).
// A second thread blocks in flock() on a duplicate of fd, so the kernel hands it the lock the moment it
// is released: trying again now and then would seldom catch the instant between two saves of another
// copy. A wait given up leaves that thread blocked; if the lock comes to it later, it lets it go at once.
bool waitForLock(int fd, const QDeadlineTimer& deadline, int& error)
{
    // No time left: a waiter started now would only be abandoned, and when the lock came to it later
    // it would hold it for an instant, long enough to turn this program's own next try away.
    if (deadline.hasExpired())
        return false;
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool over = false;
        bool abandoned = false;
        bool taken = false;
        int error = 0;
    };
    const int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0) {
        error = errno;
        return false;
    }
    auto wait = std::make_shared<Wait>();
    try {
        std::thread([wait, duplicate] {
            int result = 0;
            do {
                result = ::flock(duplicate, LOCK_EX);
            } while (result != 0 && errno == EINTR);
            const int cause = result == 0 ? 0 : errno;
            const std::lock_guard lock(wait->mutex);
            if (wait->abandoned && result == 0)
                ::flock(duplicate, LOCK_UN);
            ::close(duplicate);
            wait->over = true;
            wait->taken = result == 0;
            wait->error = cause;
            wait->done.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        ::close(duplicate);
        error = EAGAIN;
        return false;
    }
    std::unique_lock lock(wait->mutex);
    wait->done.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(0, deadline.remainingTime())),
                        [&] { return wait->over; });
    if (!wait->over) {
        wait->abandoned = true;
        return false;
    }
    error = wait->error;
    return wait->taken;
}

} // namespace

int lastFileError()
{
    return t_lastError;
}

int fileErrorNumber(FileErrorKind kind)
{
    switch (kind) {
    case FileErrorKind::Missing:
        return ENOENT;
    case FileErrorKind::Exists:
        return EEXIST;
    case FileErrorKind::NoSpace:
        return ENOSPC;
    case FileErrorKind::WouldBlock:
        return EAGAIN;
    }
    return EINVAL;
}

bool isFileError(int error, FileErrorKind kind)
{
    if (kind == FileErrorKind::WouldBlock)
        return error == EAGAIN || error == EWOULDBLOCK;
    return error == fileErrorNumber(kind);
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept
{
    if (this != &other) {
        close();
        m_native = other.m_native;
        other.m_native = Invalid;
    }
    return *this;
}

void FileHandle::close()
{
    if (m_native != Invalid) {
        const int saved = errno;
        ::close(fdOf(*this));
        errno = saved;
    }
    m_native = Invalid;
}

bool FileHandle::status(FileStatus& status) const
{
    struct stat found {
    };
    if (::fstat(fdOf(*this), &found) != 0)
        return failed(errno);
    status = statusFrom(found);
    return true;
}

bool FileHandle::readAt(qint64 offset, char* data, qsizetype size, qsizetype& got) const
{
    got = 0;
    for (;;) {
        const ssize_t read = ::pread(fdOf(*this), data, size_t(size), off_t(offset));
        if (read >= 0) {
            got = qsizetype(read);
            return true;
        }
        if (errno != EINTR)
            return failed(errno);
    }
}

bool FileHandle::readFully(qint64 offset, char* data, qsizetype size, qsizetype& got) const
{
    got = 0;
    while (got < size) {
        qsizetype piece = 0;
        if (!readAt(offset + got, data + got, size - got, piece))
            return false;
        if (piece == 0)
            break; // cut short meanwhile
        got += piece;
    }
    return true;
}

bool FileHandle::writeAll(const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fdOf(*this), data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return failed(errno);
        }
        if (written == 0)
            return failed(ENOSPC);
        data += written;
        size -= written;
    }
    return true;
}

bool FileHandle::truncate(qint64 size)
{
    return ::ftruncate(fdOf(*this), off_t(size)) == 0 || failed(errno);
}

bool FileHandle::flush()
{
    return ::fsync(fdOf(*this)) == 0 || failed(errno);
}

FileHandle::LockResult FileHandle::lock(const QDeadlineTimer& deadline)
{
    if (::flock(fdOf(*this), LOCK_EX | LOCK_NB) == 0)
        return LockResult::Locked;
    if (errno != EWOULDBLOCK && errno != EINTR) {
        failed(errno);
        return LockResult::Failed;
    }
    int error = 0;
    if (waitForLock(fdOf(*this), deadline, error))
        return LockResult::Locked;
    if (error != 0) {
        failed(error);
        return LockResult::Failed;
    }
    return LockResult::Busy;
}

bool DirectoryHandle::open(const QString& path)
{
    m_handle = FileHandle(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    m_path = path;
    if (!m_handle.isOpen())
        return failed(errno);
    FileStatus found;
    if (!m_handle.status(found)) {
        m_handle.close();
        return false;
    }
    // In a shared folder (setgid, the /var/mail model) the group writes the files too.
    m_newFileMode = (found.mode & S_ISGID) ? 0660 : 0600;
    return true;
}

bool DirectoryHandle::status(FileStatus& status) const
{
    return m_handle.status(status);
}

DirectoryHandle::Opened DirectoryHandle::openRegular(const QString& name, Access access, bool create) const
{
    Opened result;
    const QByteArray encoded = QFile::encodeName(name);
    const int dir = fdOf(m_handle);
    const int flags = accessFlags(access) | SafeFlags;
    const mode_t mode = mode_t(m_newFileMode);
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::openat(dir, encoded.constData(), flags);
        if (fd < 0 && errno == ENOENT && create) {
            fd = ::openat(dir, encoded.constData(), flags | O_CREAT | O_EXCL, mode);
            if (fd < 0 && errno == EEXIST)
                continue; // made by someone else meanwhile: open that one
            if (fd >= 0) {
                result.created = true;
                // Only a file made just now gets its permissions, whatever the umask.
                if (::fchmod(fd, mode) != 0) {
                    const int cause = errno;
                    ::close(fd);
                    ::unlinkat(dir, encoded.constData(), 0);
                    failed(cause);
                    result.cause = systemErrorText(cause);
                    return result;
                }
            }
        }
        if (fd < 0) {
            const int cause = errno;
            failed(cause);
            result.missing = cause == ENOENT;
            result.cause = systemErrorText(cause);
            return result;
        }
        result.file = FileHandle(fd);
        if (!result.file.status(result.status)) {
            result.cause = systemErrorText(lastFileError());
            result.file.close();
            return result;
        }
        if (result.status.kind != FileKind::Regular) {
            result.cause = notRegularFileText(result.status.kind);
            result.file.close();
        }
        return result;
    }
    failed(EEXIST);
    result.cause = systemErrorText(EEXIST);
    return result;
}

bool DirectoryHandle::createNew(const QString& name, Access access, FileHandle& file) const
{
    const QByteArray encoded = QFile::encodeName(name);
    const mode_t mode = mode_t(m_newFileMode);
    file = FileHandle(::openat(fdOf(m_handle), encoded.constData(),
                               accessFlags(access) | SafeFlags | O_CREAT | O_EXCL, mode));
    if (!file.isOpen())
        return failed(errno);
    if (::fchmod(fdOf(file), mode) != 0) {
        const int cause = errno;
        file.close();
        ::unlinkat(fdOf(m_handle), encoded.constData(), 0);
        return failed(cause);
    }
    return true;
}

bool DirectoryHandle::statusOf(const QString& name, FileStatus& status) const
{
    struct stat found {
    };
    if (::fstatat(fdOf(m_handle), QFile::encodeName(name).constData(), &found, AT_SYMLINK_NOFOLLOW) != 0)
        return failed(errno);
    status = statusFrom(found);
    return true;
}

bool DirectoryHandle::nameIs(const QString& name, const FileHandle& file) const
{
    FileStatus byName;
    FileStatus byHandle;
    return statusOf(name, byName) && file.status(byHandle) && byName.identity == byHandle.identity;
}

bool DirectoryHandle::remove(const QString& name) const
{
    return ::unlinkat(fdOf(m_handle), QFile::encodeName(name).constData(), 0) == 0 || failed(errno);
}

bool DirectoryHandle::replace(const QString& from, const QString& to, FileHandle*) const
{
    return ::renameat(fdOf(m_handle), QFile::encodeName(from).constData(), fdOf(m_handle),
                      QFile::encodeName(to).constData()) == 0 ||
           failed(errno);
}

bool DirectoryHandle::flush() const
{
    return ::fsync(fdOf(m_handle)) == 0 || failed(errno);
}

void adviseLargePages(char* data, qsizetype size)
{
#if defined(MADV_HUGEPAGE)
    constexpr quintptr LargePage = quintptr(2) << 20;
    const quintptr begin = (quintptr(data) + LargePage - 1) & ~(LargePage - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(LargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), size_t(end - begin), MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

QString userArchiveFolder()
{
    QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return {};
    while (data.size() > 1 && data.endsWith(u'/'))
        data.chop(1);
    return data + QStringLiteral("/cedolario");
}

bool folderAccessList(const QString&, const QString&, AccessListFacts&)
{
    return false;
}

QStringList oldArchivePaths()
{
    return {};
}

QString sharedArchiveFolder()
{
    return QString::fromUtf8(CEDOLARIO_SYSTEM_DIR);
}

bool pathStatus(const QString& path, FileStatus& status)
{
    struct stat found {
    };
    if (::lstat(QFile::encodeName(path).constData(), &found) != 0)
        return failed(errno);
    status = statusFrom(found);
    return true;
}

bool makePrivateDirectory(const QString& path)
{
    return ::mkdir(QFile::encodeName(path).constData(), 0700) == 0 || failed(errno);
}

quint32 currentUserId()
{
    return quint32(::geteuid());
}

std::vector<quint32> currentGroupIds()
{
    std::vector<quint32> groups{quint32(::getegid())};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<size_t>(count));
        const int got = ::getgroups(count, more.data());
        if (got > 0)
            std::transform(more.begin(), more.begin() + got, std::back_inserter(groups),
                           [](gid_t id) { return quint32(id); });
    }
    return groups;
}

std::optional<quint32> groupIdOf(const QString& name)
{
    const QByteArray encoded = name.toUtf8();
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrnam_r(encoded.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return quint32(found->gr_gid);
}
