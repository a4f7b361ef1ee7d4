// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchivePath.h"

#include "core/files/SystemError.h"

#include "core/BuildConfig.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

SharedDirectoryVerdict judgeSharedDirectory(const DirectoryFacts& directory,
                                            std::optional<gid_t> archiveGroup, const UserFacts& user)
{
    if (!directory.exists)
        return {SharedDirectoryVerdict::Absent, {}};
    QStringList faults;
    if (directory.isLink) {
        faults.append(u"è un collegamento simbolico"_s);
    } else if (!directory.isDirectory) {
        faults.append(u"non è una cartella"_s);
    } else {
        if (directory.owner != 0)
            faults.append(u"non appartiene a root"_s);
        if (!archiveGroup)
            faults.append(u"il gruppo %1 non esiste"_s.arg(ArchiveGroupName));
        else if (directory.group != *archiveGroup)
            faults.append(u"non è del gruppo %1"_s.arg(ArchiveGroupName));
        if (!(directory.mode & S_ISGID))
            faults.append(u"manca il bit setgid"_s);
        if ((directory.mode & S_IRWXG) != S_IRWXG)
            faults.append(u"il gruppo non può leggerla e scriverla"_s);
        if (directory.mode & S_IWOTH)
            faults.append(u"è scrivibile da tutti gli utenti"_s);
    }
    if (!faults.isEmpty())
        return {SharedDirectoryVerdict::Unsafe, faults.join(u", "_s)};
    const bool member = std::find(user.groups.begin(), user.groups.end(), *archiveGroup) != user.groups.end();
    if (user.uid == 0 || member)
        return {SharedDirectoryVerdict::Use, {}};
    return {SharedDirectoryVerdict::NotMember, {}};
}

QString mendingCommands(const QString& directory, const DirectoryFacts& facts, bool groupExists)
{
    QStringList lines;
    if (!groupExists)
        lines.append(u"sudo addgroup --system %1"_s.arg(ArchiveGroupName));
    if (facts.isLink || !facts.isDirectory) {
        lines.append(u"sudo mv %1 %1.vecchia"_s.arg(directory));
        lines.append(u"sudo install -d -o root -g %1 -m 2770 %2"_s.arg(ArchiveGroupName, directory));
    } else {
        lines.append(u"sudo chown root:%1 %2"_s.arg(ArchiveGroupName, directory));
        lines.append(u"sudo chmod 2770 %1"_s.arg(directory));
        lines.append(u"sudo find %1 -maxdepth 1 -type f -exec chgrp %2 {} + -exec chmod 0660 {} +"_s.arg(
            directory, ArchiveGroupName));
    }
    return lines.join(u'\n');
}

namespace {

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

UserFacts thisUser()
{
    UserFacts user;
    user.uid = geteuid();
    user.groups.push_back(getegid());
    const int count = getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<size_t>(count));
        const int got = getgroups(count, more.data());
        if (got > 0)
            user.groups.insert(user.groups.end(), more.begin(), more.begin() + got);
    }
    return user;
}

std::optional<gid_t> groupId(const QString& name)
{
    const QByteArray encoded = name.toUtf8();
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (getgrnam_r(encoded.constData(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return std::nullopt;
    return found->gr_gid;
}

DirectoryFacts factsOf(const QString& directory)
{
    DirectoryFacts facts;
    struct stat status {
    };
    if (::lstat(QFile::encodeName(directory).constData(), &status) != 0)
        return facts;
    facts.exists = true;
    facts.isLink = S_ISLNK(status.st_mode);
    facts.isDirectory = S_ISDIR(status.st_mode);
    facts.owner = status.st_uid;
    facts.group = status.st_gid;
    facts.mode = status.st_mode & 07777;
    return facts;
}

} // namespace

ArchiveLocation chooseArchiveLocation(const QString& sharedDirectory, const QString& userDataDirectory,
                                      const QString& groupName)
{
    ArchiveLocation location;
    const QString shared = withoutTrailingSlash(sharedDirectory.trimmed());
    const DirectoryFacts facts = shared.isEmpty() ? DirectoryFacts{} : factsOf(shared);
    const std::optional<gid_t> group = groupId(groupName);
    const SharedDirectoryVerdict verdict = judgeSharedDirectory(facts, group, thisUser());
    if (verdict.kind == SharedDirectoryVerdict::Use) {
        location.directory = shared;
        location.path = shared + u'/' + ArchiveFileName;
        location.shared = true;
        return location;
    }

    location.directory = withoutTrailingSlash(userDataDirectory) + u"/cedolario"_s;
    location.path = location.directory + u'/' + ArchiveFileName;
    if (verdict.kind == SharedDirectoryVerdict::Unsafe) {
        location.notice =
            u"La cartella comune dell'archivio %1 non è sicura (%2), quindi non viene usata.\n"
            u"Le schede sono salvate nell'archivio personale %3.\n\n"
            u"Un amministratore può correggere la cartella con questi comandi:\n%4"_s.arg(
                shared, verdict.faults, location.path, mendingCommands(shared, facts, group.has_value()));
    }
    const QByteArray own = QFile::encodeName(location.directory);
    struct stat status {
    };
    if (userDataDirectory.isEmpty() || ::stat(own.constData(), &status) != 0) {
        errno = 0;
        if (userDataDirectory.isEmpty() || !QDir().mkpath(withoutTrailingSlash(userDataDirectory)) ||
            ::mkdir(own.constData(), 0700) != 0) {
            const int cause = errno;
            QString problem =
                u"Impossibile creare la cartella dell'archivio personale %1"_s.arg(location.directory);
            if (cause != 0)
                problem += u": "_s + systemErrorText(cause);
            problem += u". Le schede non potranno essere salvate."_s;
            location.notice = location.notice.isEmpty() ? problem : location.notice + u"\n\n"_s + problem;
        }
    }
    return location;
}

const ArchiveLocation& ArchiveLocationOfThisRun()
{
    static const ArchiveLocation location =
        chooseArchiveLocation(QString::fromUtf8(CEDOLARIO_SYSTEM_DIR),
                              QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return location;
}

QString ArchivePath()
{
    return ArchiveLocationOfThisRun().path;
}

QString ArchiveCopiesDirectory()
{
    return withoutTrailingSlash(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
           u"/cedolario/copie"_s;
}
