// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/InputFile.h"

#include "core/files/SystemError.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

// Owns a descriptor.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    explicit Descriptor(int value) : fd(value) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

constexpr int InputFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

QString megabytes(qint64 bytes)
{
    return QString::number((bytes + (1 << 20) - 1) >> 20);
}

} // namespace

bool readInputFile(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& errorText)
{
    bytes.clear();
    // "aprire" until the file is open and known to be one, "leggere" after.
    bool opened = false;
    const auto failWith = [&](const QString& cause) {
        errorText =
            (opened ? u"Impossibile leggere il file %1: %2."_s : u"Impossibile aprire il file %1: %2."_s)
                .arg(QDir::toNativeSeparators(path), cause);
        bytes.clear();
        return false;
    };
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString directoryName = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : path.left(slash));
    const QByteArray name = QFile::encodeName(path.mid(slash + 1));
    if (name.isEmpty())
        return failWith(systemErrorText(EISDIR));
    const Descriptor directory(
        ::open(QFile::encodeName(directoryName).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.fd < 0)
        return failWith(systemErrorText(errno));

    Descriptor file(::openat(directory.fd, name.constData(), InputFlags | O_NOFOLLOW));
    if (file.fd < 0 && errno == ELOOP) {
        // A link: followed only when it is the user's or the directory owner's, and only if the name
        // is still that same link once the file it leads to is open.
        struct stat where {
        };
        struct stat link {
        };
        if (::fstat(directory.fd, &where) != 0 ||
            ::fstatat(directory.fd, name.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0)
            return failWith(systemErrorText(errno));
        if (!S_ISLNK(link.st_mode))
            return failWith(u"il nome è stato cambiato durante l'apertura. Riprovare"_s);
        if (link.st_uid != ::geteuid() && link.st_uid != where.st_uid)
            return failWith(u"è un collegamento simbolico di un altro utente (uid %1), che non viene "
                            u"seguito"_s.arg(link.st_uid));
        file.fd = ::openat(directory.fd, name.constData(), InputFlags);
        if (file.fd < 0)
            return failWith(systemErrorText(errno));
        struct stat after {
        };
        if (::fstatat(directory.fd, name.constData(), &after, AT_SYMLINK_NOFOLLOW) != 0 ||
            after.st_dev != link.st_dev || after.st_ino != link.st_ino)
            return failWith(u"il nome è stato cambiato durante l'apertura. Riprovare"_s);
    }
    if (file.fd < 0)
        return failWith(systemErrorText(errno));
    struct stat status {
    };
    if (::fstat(file.fd, &status) != 0)
        return failWith(systemErrorText(errno));
    if (!S_ISREG(status.st_mode))
        return failWith(notRegularFileText(status.st_mode));
    const auto tooLarge = [&](qint64 size) {
        return failWith(
            u"il file è troppo grande (%1 MB, al massimo %2 MB)"_s.arg(megabytes(size), megabytes(maxBytes)));
    };
    if (status.st_size > maxBytes)
        return tooLarge(status.st_size);

    opened = true;
    // One byte beyond the size found, to see a file that grows meanwhile.
    const qint64 bound = qMin<qint64>(maxBytes, status.st_size) + 1;
    bytes = QByteArray(qsizetype(bound), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(file.fd, bytes.data() + done, size_t(bytes.size() - done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return failWith(systemErrorText(errno));
        }
        if (got == 0)
            break;
        done += got;
    }
    if (done > maxBytes)
        return tooLarge(done);
    if (done > status.st_size)
        return failWith(u"il file è cambiato durante la lettura. Riprovare"_s);
    bytes.truncate(done);
    return true;
}
