// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <sys/types.h>

#include <optional>
#include <vector>

// Where the archive lies. Per user by default: $XDG_DATA_HOME/cedolario/fillcp.dll (directory 0700,
// file 0600). The machine-wide directory (CEDOLARIO_SYSTEM_DIR, /var/lib/cedolario) is used instead
// only when it has the shape of /var/mail: a real directory owned by root, setgid, of the group
// "cedolario", group-writable and not world-writable, and this user may write it (member of that
// group, or root). A shared directory of any other shape is never touched: the user is told once,
// with the commands that mend it. The choice is made once per run and never changes afterwards.

inline constexpr QLatin1StringView ArchiveFileName("fillcp.dll");
inline constexpr QLatin1StringView ArchiveGroupName("cedolario");

// What lstat() says of the shared directory.
struct DirectoryFacts {
    bool exists = false;
    bool isLink = false;
    bool isDirectory = false;
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0; // permission bits with setuid, setgid and sticky
};

// Who runs the program: effective user and every group the process holds.
struct UserFacts {
    uid_t uid = 0;
    std::vector<gid_t> groups;
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
                                            std::optional<gid_t> archiveGroup, const UserFacts& user);

// The shell commands, one a line, with which an administrator gives the directory its safe shape.
QString mendingCommands(const QString& directory, const DirectoryFacts& facts, bool groupExists);

struct ArchiveLocation {
    QString directory; // without a trailing "/"
    QString path;      // directory + "/fillcp.dll"
    bool shared = false;
    QString notice; // for the user when not empty: why the shared directory was not used, or
                    // why the per-user directory could not be made
};

// The real decision for the given directories: lstat() of shared, the process's user and groups,
// and the per-user directory made (0700) when missing.
ArchiveLocation chooseArchiveLocation(const QString& sharedDirectory, const QString& userDataDirectory,
                                      const QString& groupName = ArchiveGroupName);

// This run's location: CEDOLARIO_SYSTEM_DIR and $XDG_DATA_HOME/cedolario, decided at the first call
// and the same for the rest of the run.
const ArchiveLocation& ArchiveLocationOfThisRun();

// ArchiveLocationOfThisRun().path.
QString ArchivePath();

// The user's own folder for the dated copies of whichever archive this run uses:
// $XDG_DATA_HOME/cedolario/copie.
QString ArchiveCopiesDirectory();
