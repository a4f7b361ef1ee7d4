// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/OutputFile.h"

#include "core/files/SystemError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

bool sharedSticky(const struct stat& directory)
{
    return (directory.st_mode & S_ISVTX) && (directory.st_mode & (S_IWOTH | S_IWGRP));
}

bool sameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The permissions a new file gets: 0666 less the process's umask, read without changing it.
mode_t newFileMode()
{
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray text = status.read(4096);
        const qsizetype at = text.indexOf("\nUmask:");
        if (at >= 0) {
            bool ok = false;
            const uint mask = text.mid(at + 7, text.indexOf('\n', at + 1) - at - 7).trimmed().toUInt(&ok, 8);
            if (ok)
                return 0666 & ~mode_t(mask);
        }
    }
    return 0644;
}

// Writes all of size bytes; false with errno set (a write of nothing is ENOSPC).
bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

OutputNameCheck checkOutputName(const struct stat& directory, const struct stat* entry, uid_t user)
{
    if (!entry)
        return {OutputNameCheck::Absent, {}};
    const bool trusted = entry->st_uid == user || entry->st_uid == directory.st_uid;
    if (S_ISLNK(entry->st_mode)) {
        if (trusted)
            return {OutputNameCheck::Replace, {}};
        return {OutputNameCheck::Refuse,
                u"al suo posto c'è un collegamento simbolico di un altro utente (uid %1), che non viene "
                u"seguito né sostituito"_s.arg(entry->st_uid)};
    }
    if (S_ISREG(entry->st_mode)) {
        if (trusted || !sharedSticky(directory))
            return {OutputNameCheck::Replace, {}};
        return {OutputNameCheck::Refuse,
                u"il file esistente è di un altro utente (uid %1) in una cartella condivisa e non viene "
                u"sostituito"_s.arg(entry->st_uid)};
    }
    return {OutputNameCheck::Refuse, notRegularFileText(entry->st_mode)};
}

// The temporary file's contents, gathered in a buffer and written in large pieces; the first failure's
// errno is kept for the message.
class OutputFile::Device : public QIODevice
{
public:
    explicit Device(int fd) : m_fd(fd)
    {
        m_buffer.reserve(Capacity);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    int fd() const { return m_fd; }
    int error() const { return m_error; }
    // Writes out the buffer: false with error() set.
    bool drain()
    {
        if (m_error == 0 && !m_buffer.isEmpty() && !writeAll(m_fd, m_buffer.constData(), m_buffer.size()))
            m_error = errno;
        m_buffer.clear();
        return m_error == 0;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_error != 0)
            return -1;
        if (m_buffer.size() + size > Capacity && !drain())
            return -1;
        if (size >= Capacity) {
            if (!writeAll(m_fd, data, size)) {
                m_error = errno;
                return -1;
            }
            return size;
        }
        m_buffer.append(data, qsizetype(size));
        return size;
    }

private:
    static constexpr qsizetype Capacity = qsizetype(1) << 16;
    int m_fd;
    int m_error = 0;
    QByteArray m_buffer;
};

OutputFile::OutputFile(QString path) : m_path(std::move(path))
{
}

OutputFile::~OutputFile()
{
    discard();
}

void OutputFile::discard()
{
    if (m_device) {
        ::close(m_device->fd());
        m_device.reset();
    }
    if (!m_temporary.isEmpty()) {
        ::unlinkat(m_directory, m_temporary.constData(), 0);
        m_temporary.clear();
    }
    if (m_directory >= 0) {
        ::close(m_directory);
        m_directory = -1;
    }
}

bool OutputFile::failWith(const QString& cause, QString& errorText)
{
    errorText = u"impossibile scrivere %1: %2"_s.arg(QDir::toNativeSeparators(m_path), cause);
    discard();
    return false;
}

bool OutputFile::fail(int error, QString& errorText)
{
    return failWith(systemErrorText(error), errorText);
}

bool OutputFile::open(QString& errorText)
{
    discard();
    const qsizetype slash = m_path.lastIndexOf(u'/');
    const QString directory = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : m_path.left(slash));
    m_name = QFile::encodeName(m_path.mid(slash + 1));
    if (m_name.isEmpty() || m_name == "." || m_name == "..")
        return failWith(u"manca il nome del file"_s, errorText);
    m_directory = ::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_directory < 0)
        return fail(errno, errorText);
    struct stat status {
    };
    struct stat entry {
    };
    if (::fstat(m_directory, &status) != 0)
        return fail(errno, errorText);
    const bool present = ::fstatat(m_directory, m_name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
    if (!present && errno != ENOENT)
        return fail(errno, errorText);
    const OutputNameCheck check = checkOutputName(status, present ? &entry : nullptr, ::geteuid());
    if (check.verdict == OutputNameCheck::Refuse)
        return failWith(check.reason, errorText);

    // A hidden name beside the file's, short enough to be a valid name whatever the file's.
    const QByteArray stem = "." + m_name.left(200) + ".tmp-";
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray temporary = stem + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        const int fd = ::openat(m_directory, temporary.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            m_temporary = temporary;
            m_device = std::make_unique<Device>(fd);
            return true;
        }
        if (errno != EEXIST)
            return fail(errno, errorText);
    }
    return fail(EEXIST, errorText);
}

QIODevice& OutputFile::device()
{
    Q_ASSERT(m_device);
    return *m_device;
}

bool OutputFile::commit(QString& errorText)
{
    if (!m_device)
        return failWith(u"il file non è stato aperto"_s, errorText);
    if (!m_device->drain())
        return fail(m_device->error(), errorText);
    const int fd = m_device->fd();
    // The permissions of the file replaced, when it is the user's own; else those of a new file.
    mode_t mode = newFileMode();
    struct stat entry {
    };
    if (::fstatat(m_directory, m_name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(entry.st_mode) && entry.st_uid == ::geteuid())
        mode = entry.st_mode & 0777;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return fail(errno, errorText);
    m_device->close();

    if (m_beforeRename)
        m_beforeRename();

    struct stat directory {
    };
    if (::fstat(m_directory, &directory) != 0)
        return fail(errno, errorText);
    bool placed = false;
    for (int attempt = 0; attempt < 4 && !placed; ++attempt) {
        const bool present = ::fstatat(m_directory, m_name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
        if (!present && errno != ENOENT)
            return fail(errno, errorText);
        const OutputNameCheck check = checkOutputName(directory, present ? &entry : nullptr, ::geteuid());
        if (check.verdict == OutputNameCheck::Refuse)
            return failWith(check.reason, errorText);
        // An absent name must still be free when the file takes it; an entry checked changes places
        // with the new file, and if what came out is not that entry and may not be replaced, they change
        // back.
        const unsigned how = present ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        if (::renameat2(m_directory, m_temporary.constData(), m_directory, m_name.constData(), how) != 0) {
            if ((present && errno == ENOENT) || (!present && errno == EEXIST))
                continue; // changed meanwhile: judge it again
            if (errno != EINVAL && errno != ENOSYS)
                return fail(errno, errorText);
            // A file system without these renames: the check above is the last word.
            if (::renameat(m_directory, m_temporary.constData(), m_directory, m_name.constData()) != 0)
                return fail(errno, errorText);
            m_temporary.clear();
            placed = true;
            break;
        }
        if (present) {
            struct stat displaced {
            };
            if (::fstatat(m_directory, m_temporary.constData(), &displaced, AT_SYMLINK_NOFOLLOW) == 0 &&
                !sameEntry(displaced, entry)) {
                const OutputNameCheck late = checkOutputName(directory, &displaced, ::geteuid());
                if (late.verdict == OutputNameCheck::Refuse) {
                    ::renameat2(m_directory, m_temporary.constData(), m_directory, m_name.constData(),
                                RENAME_EXCHANGE);
                    return failWith(late.reason, errorText);
                }
            }
            // What the file replaced: its name alone goes, never what a link there points to.
            ::unlinkat(m_directory, m_temporary.constData(), 0);
        }
        m_temporary.clear();
        placed = true;
    }
    if (!placed)
        return failWith(u"il nome è stato cambiato più volte durante il salvataggio. Riprovare"_s, errorText);
    if (::fsync(m_directory) != 0)
        return fail(errno, errorText);
    discard();
    return true;
}

bool writeOutputFile(const QString& path, QByteArrayView bytes, QString& errorText)
{
    OutputFile file(path);
    if (!file.open(errorText))
        return false;
    // A failed write is kept by the device and told by the commit.
    file.device().write(bytes.data(), bytes.size());
    return file.commit(errorText);
}
