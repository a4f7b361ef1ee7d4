// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a file on the user's say on POSIX systems: see InputFile.h.
#include "core/files/InputFileOpen.h"

#include "core/files/SystemError.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

constexpr int InputFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

} // namespace

Failure openInputFile(const QString& path, FileHandle& file)
{
    const auto failWith = [&](const QString& why) {
        file.close();
        return Failure::failed(why);
    };
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString directoryName = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : path.left(slash));
    const QByteArray name = QFile::encodeName(path.mid(slash + 1));
    if (name.isEmpty())
        return failWith(systemErrorText(EISDIR));
    DirectoryHandle folder;
    if (!folder.open(directoryName))
        return failWith(systemErrorText(lastFileError()));
    const int directory = int(folder.handle().native());

    file = FileHandle(::openat(directory, name.constData(), InputFlags | O_NOFOLLOW));
    if (!file.isOpen() && errno == ELOOP) {
        // A link: followed only when it is the user's or the directory owner's, and only if the name
        // is still that same link once the file it leads to is open.
        struct stat where {
        };
        struct stat link {
        };
        if (::fstat(directory, &where) != 0 ||
            ::fstatat(directory, name.constData(), &link, AT_SYMLINK_NOFOLLOW) != 0)
            return failWith(systemErrorText(errno));
        if (!S_ISLNK(link.st_mode))
            return failWith(u"il nome è stato cambiato durante l'apertura. Riprovare"_s);
        if (link.st_uid != ::geteuid() && link.st_uid != where.st_uid)
            return failWith(u"è un collegamento simbolico di un altro utente (uid %1), che non viene "
                            u"seguito"_s.arg(link.st_uid));
        file = FileHandle(::openat(directory, name.constData(), InputFlags));
        if (!file.isOpen())
            return failWith(systemErrorText(errno));
        struct stat after {
        };
        if (::fstatat(directory, name.constData(), &after, AT_SYMLINK_NOFOLLOW) != 0 ||
            after.st_dev != link.st_dev || after.st_ino != link.st_ino)
            return failWith(u"il nome è stato cambiato durante l'apertura. Riprovare"_s);
    }
    if (!file.isOpen())
        return failWith(systemErrorText(errno));
    return {};
}
