// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchivePath.h"

#include "core/files/SystemError.h"
#include "core/files/UserFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The permission bits the shared directory is judged by, as POSIX numbers them.
constexpr quint32 SetGroupId = 02000;
constexpr quint32 GroupReadWriteSearch = 0070;
constexpr quint32 OthersWrite = 0002;

} // namespace

namespace {

// Windows: the same promise as the POSIX shape, told by the folder's access list.
SharedDirectoryVerdict judgeAccessList(const DirectoryFacts& directory)
{
    const AccessListFacts& access = *directory.access;
    QStringList faults;
    if (directory.isLink) {
        faults.append(u"è un collegamento"_s);
    } else if (!directory.isDirectory) {
        faults.append(u"non è una cartella"_s);
    } else if (access.unreadable) {
        faults.append(u"i suoi permessi non si possono leggere"_s);
    } else if (access.noAccessList) {
        faults.append(u"non ha permessi, quindi chiunque può scriverla"_s);
    } else {
        if (!access.ownedByAdministrators)
            faults.append(u"non appartiene agli amministratori"_s);
        if (!access.groupExists)
            faults.append(u"il gruppo %1 non esiste"_s.arg(ArchiveGroupName));
        else if (!access.groupMayWrite)
            faults.append(u"il gruppo %1 non può scriverla"_s.arg(ArchiveGroupName));
        if (!access.otherWriters.isEmpty())
            faults.append(u"possono scriverla anche %1"_s.arg(access.otherWriters.join(u", "_s)));
    }
    if (!faults.isEmpty())
        return {SharedDirectoryVerdict::Unsafe, faults.join(u", "_s)};
    return {access.userInGroup ? SharedDirectoryVerdict::Use : SharedDirectoryVerdict::NotMember, {}};
}

} // namespace

SharedDirectoryVerdict judgeSharedDirectory(const DirectoryFacts& directory,
                                            std::optional<quint32> archiveGroup, const UserFacts& user)
{
    if (!directory.exists)
        return {SharedDirectoryVerdict::Absent, {}};
    if (directory.access)
        return judgeAccessList(directory);
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
        if (!(directory.mode & SetGroupId))
            faults.append(u"manca il bit setgid"_s);
        if ((directory.mode & GroupReadWriteSearch) != GroupReadWriteSearch)
            faults.append(u"il gruppo non può leggerla e scriverla"_s);
        if (directory.mode & OthersWrite)
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
    if (facts.access) {
        // cmd.exe, run as administrator; the SIDs name the system and the Administrators in any language.
        const QString folder = QDir::toNativeSeparators(directory);
        if (!facts.access->groupExists)
            lines.append(u"net localgroup %1 /add"_s.arg(ArchiveGroupName));
        if (facts.isLink || !facts.isDirectory) {
            lines.append(u"move \"%1\" \"%1.vecchia\""_s.arg(folder));
            lines.append(u"mkdir \"%1\""_s.arg(folder));
        }
        lines.append(u"icacls \"%1\" /setowner *S-1-5-32-544"_s.arg(folder));
        lines.append(u"icacls \"%1\" /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F "
                     u"%2:(OI)(CI)M"_s.arg(folder, ArchiveGroupName));
        lines.append(u"net localgroup %1 <utente> /add"_s.arg(ArchiveGroupName));
        return lines.join(u'\n');
    }
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
    return {currentUserId(), currentGroupIds()};
}

DirectoryFacts factsOf(const QString& directory)
{
    DirectoryFacts facts;
    FileStatus status;
    if (!pathStatus(directory, status))
        return facts;
    facts.exists = true;
    facts.isLink = status.kind == FileKind::Link;
    facts.isDirectory = status.kind == FileKind::Directory;
    facts.owner = status.owner;
    facts.group = status.group;
    facts.mode = status.mode;
    AccessListFacts access;
    if (folderAccessList(directory, ArchiveGroupName, access))
        facts.access = access;
    return facts;
}

} // namespace

ArchiveLocation chooseArchiveLocation(const QString& sharedDirectory, const QString& userDirectory,
                                      const QString& groupName)
{
    ArchiveLocation location;
    const QString shared = withoutTrailingSlash(sharedDirectory.trimmed());
    const DirectoryFacts facts = shared.isEmpty() ? DirectoryFacts{} : factsOf(shared);
    const std::optional<quint32> group = groupIdOf(groupName);
    const SharedDirectoryVerdict verdict = judgeSharedDirectory(facts, group, thisUser());
    if (verdict.kind == SharedDirectoryVerdict::Use) {
        location.directory = shared;
        location.path = shared + u'/' + ArchiveFileName;
        location.shared = true;
        return location;
    }

    location.directory = withoutTrailingSlash(userDirectory);
    location.path = location.directory + u'/' + ArchiveFileName;
    if (verdict.kind == SharedDirectoryVerdict::Unsafe) {
        location.notice =
            u"La cartella comune dell'archivio %1 non è sicura (%2), quindi non viene usata.\n"
            u"Le schede sono salvate nell'archivio personale %3.\n\n"
            u"Un amministratore può correggere la cartella con questi comandi:\n%4"_s.arg(
                QDir::toNativeSeparators(shared), verdict.faults, QDir::toNativeSeparators(location.path),
                mendingCommands(shared, facts, group.has_value()));
    }
    if (userDirectory.isEmpty() || !QFileInfo::exists(location.directory)) {
        int cause = 0;
        bool made = !userDirectory.isEmpty() && QDir().mkpath(QFileInfo(location.directory).absolutePath());
        if (made && !makePrivateDirectory(location.directory)) {
            made = false;
            cause = lastFileError();
        }
        if (!made) {
            QString problem = u"Impossibile creare la cartella dell'archivio personale %1"_s.arg(
                QDir::toNativeSeparators(location.directory));
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
    static const ArchiveLocation location = chooseArchiveLocation(sharedArchiveFolder(), userArchiveFolder());
    return location;
}

QString ArchivePath()
{
    return ArchiveLocationOfThisRun().path;
}

QString ArchiveCopiesDirectory()
{
    return withoutTrailingSlash(userArchiveFolder()) + u"/copie"_s;
}
