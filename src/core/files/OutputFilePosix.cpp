// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a file on the user's say on POSIX systems: see OutputFile.h.
#include "core/files/OutputFile.h"

#include "core/files/OutputFileDevice.h"
#include "core/files/SystemError.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
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

// What the check of the final name decided.
struct OutputNameCheck {
    enum Verdict { Absent, Replace, Refuse };
    Verdict verdict = Absent;
    QString reason; // for Refuse: why, in Italian
};

// The rule of OutputFile.h, on plain values: the directory's status, the entry's (nullptr when the name
// is free) and the user who writes.
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
    return {OutputNameCheck::Refuse, notRegularFileText(fileKindOfMode(entry->st_mode))};
}

} // namespace

Failure OutputFile::open()
{
    discard();
    const qsizetype slash = m_path.lastIndexOf(u'/');
    const QString directory = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : m_path.left(slash));
    m_name = m_path.mid(slash + 1);
    if (m_name.isEmpty() || m_name == u"." || m_name == u"..")
        return failWith(u"manca il nome del file"_s);
    if (!m_directory.open(directory))
        return fail(lastFileError());
    const int dir = int(m_directory.handle().native());
    const QByteArray name = QFile::encodeName(m_name);
    struct stat status {
    };
    struct stat entry {
    };
    if (::fstat(dir, &status) != 0)
        return fail(errno);
    const bool present = ::fstatat(dir, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
    if (!present && errno != ENOENT)
        return fail(errno);
    const OutputNameCheck check = checkOutputName(status, present ? &entry : nullptr, ::geteuid());
    if (check.verdict == OutputNameCheck::Refuse)
        return failWith(check.reason);

    // A hidden name beside the file's, short enough to be a valid name whatever the file's.
    QString shortName = m_name;
    while (QFile::encodeName(shortName).size() > 200) {
        shortName.chop(1);
        if (!shortName.isEmpty() && shortName.back().isHighSurrogate())
            shortName.chop(1);
    }
    const QByteArray stem = "." + QFile::encodeName(shortName) + ".tmp-";
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QByteArray temporary = stem + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        FileHandle file(
            ::openat(dir, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.isOpen()) {
            m_temporary = QFile::decodeName(temporary);
            m_device = std::make_unique<Device>(std::move(file));
            return {};
        }
        if (errno != EEXIST)
            return fail(errno);
    }
    return fail(EEXIST);
}

Failure OutputFile::commit()
{
    if (!m_device)
        return failWith(u"il file non è stato aperto"_s);
    if (!m_device->drain())
        return fail(m_device->error());
    const int fd = int(m_device->file().native());
    const int dir = int(m_directory.handle().native());
    const QByteArray name = QFile::encodeName(m_name);
    const QByteArray temporary = QFile::encodeName(m_temporary);
    // The permissions of the file replaced, when it is the user's own; else those of a new file.
    mode_t mode = newFileMode();
    struct stat entry {
    };
    if (::fstatat(dir, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(entry.st_mode) &&
        entry.st_uid == ::geteuid())
        mode = entry.st_mode & 0777;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return fail(errno);
    m_device.reset();

    if (m_beforeRename)
        m_beforeRename();

    struct stat directory {
    };
    if (::fstat(dir, &directory) != 0)
        return fail(errno);
    bool placed = false;
    for (int attempt = 0; attempt < 4 && !placed; ++attempt) {
        const bool present = ::fstatat(dir, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0;
        if (!present && errno != ENOENT)
            return fail(errno);
        const OutputNameCheck check = checkOutputName(directory, present ? &entry : nullptr, ::geteuid());
        if (check.verdict == OutputNameCheck::Refuse)
            return failWith(check.reason);
        // An absent name must still be free when the file takes it; an entry checked changes places
        // with the new file, and if what came out is not that entry and may not be replaced, they change
        // back.
        const unsigned how = present ? RENAME_EXCHANGE : RENAME_NOREPLACE;
        if (::renameat2(dir, temporary.constData(), dir, name.constData(), how) != 0) {
            if ((present && errno == ENOENT) || (!present && errno == EEXIST))
                continue; // changed meanwhile: judge it again
            if (errno != EINVAL && errno != ENOSYS)
                return fail(errno);
            // A file system without these renames: the check above is the last word.
            if (::renameat(dir, temporary.constData(), dir, name.constData()) != 0)
                return fail(errno);
            m_temporary.clear();
            placed = true;
            break;
        }
        if (present) {
            struct stat displaced {
            };
            if (::fstatat(dir, temporary.constData(), &displaced, AT_SYMLINK_NOFOLLOW) == 0 &&
                !sameEntry(displaced, entry)) {
                const OutputNameCheck late = checkOutputName(directory, &displaced, ::geteuid());
                if (late.verdict == OutputNameCheck::Refuse) {
                    ::renameat2(dir, temporary.constData(), dir, name.constData(), RENAME_EXCHANGE);
                    return failWith(late.reason);
                }
            }
            // What the file replaced: its name alone goes, never what a link there points to.
            ::unlinkat(dir, temporary.constData(), 0);
        }
        m_temporary.clear();
        placed = true;
    }
    if (!placed)
        return failWith(u"il nome è stato cambiato più volte durante il salvataggio. Riprovare"_s);
    if (::fsync(dir) != 0)
        return fail(errno);
    discard();
    return {};
}
