// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/files/UserFolders.h"

#include <QString>

#include <optional>
#include <vector>

// Where the archive lies. Per user by default: $XDG_DATA_HOME/cedolario/fillcp.dll (directory 0700,
// file 0600); on Windows fillcp.dll in the user's roaming application data (userArchiveFolder()). The
// machine-wide directory (CEDOLARIO_SYSTEM_DIR, /var/lib/cedolario) is used instead only when it has the
// shape of /var/mail: a real directory owned by root, setgid, of the group "cedolario", group-writable and
// not world-writable, and this user may write it (member of that group, or root). A shared directory of any
// other shape is never touched: the user is told once, with the commands that mend it. The choice is made
// once per run and never changes afterwards. On Windows the shared folder is %ProgramData%\Cedolario,
// used when its access list lets no one but the administrators, the system and the members of the local
// group "cedolario" write in it, it belongs to the administrators, and the user is of that group.

inline constexpr QLatin1StringView ArchiveFileName("fillcp.dll");
inline constexpr QLatin1StringView ArchiveGroupName("cedolario");

// What the system says of the shared directory, without following a link there.
struct DirectoryFacts {
    bool exists = false;
    bool isLink = false;
    bool isDirectory = false;
    quint32 owner = 0;
    quint32 group = 0;
    quint32 mode = 0; // permission bits with setuid, setgid and sticky
    // Windows: what the folder's access list allows; the owner, group and mode above are then unused.
    std::optional<AccessListFacts> access;
};

// Who runs the program: effective user and every group the process holds.
struct UserFacts {
    quint32 uid = 0;
    std::vector<quint32> groups;
};

struct SharedDirectoryVerdict {
    enum Kind {
        Use,       // safe, and this user may write it
        Absent,    // there is none: the per-user archive, without a word
        NotMember, // safe, but this user is not of its group: the per-user archive, without a word
        Unsafe,    // any other shape: the per-user archive, and the user is told why
    };
    Kind kind = Absent;
    QString faults; // Unsafe: what is wrong, in Italian, e.g. "è scrivibile da tutti gli utenti"
};

// The decision on the facts alone. archiveGroup is the group id of "cedolario", none when the group
// does not exist.
SharedDirectoryVerdict judgeSharedDirectory(const DirectoryFacts& directory,
                                            std::optional<quint32> archiveGroup, const UserFacts& user);

// The shell commands, one a line, with which an administrator gives the directory its safe shape.
QString mendingCommands(const QString& directory, const DirectoryFacts& facts, bool groupExists);

struct ArchiveLocation {
    QString directory; // without a trailing "/"
    QString path;      // directory + "/fillcp.dll"
    bool shared = false;
    QString notice; // for the user when not empty: why the shared directory was not used, or
                    // why the per-user directory could not be made
};

// The real decision for the given directories: what stands at shared, the process's user and groups,
// and the per-user directory userDirectory (its own folder, that holds fillcp.dll) made (0700) when
// missing.
ArchiveLocation chooseArchiveLocation(const QString& sharedDirectory, const QString& userDirectory,
                                      const QString& groupName = ArchiveGroupName);

// This run's location: sharedArchiveFolder() (CEDOLARIO_SYSTEM_DIR) and userArchiveFolder()
// ($XDG_DATA_HOME/cedolario), decided at the first call and the same for the rest of the run.
const ArchiveLocation& ArchiveLocationOfThisRun();

// ArchiveLocationOfThisRun().path.
QString ArchivePath();

// The user's own folder for the dated copies of whichever archive this run uses: "copie" in
// userArchiveFolder() ($XDG_DATA_HOME/cedolario/copie).
QString ArchiveCopiesDirectory();
