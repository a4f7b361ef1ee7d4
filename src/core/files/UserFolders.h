// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/files/FileHandle.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// The part of the file layer that knows the user and the folders of the system, for the choice of the
// archive's place and for the user's own copies of it. POSIX in FileLayerPosix.cpp, Windows in
// FileLayerWin32.cpp.
//
// Ownership and permission bits are POSIX notions: on Windows the owner, the group and the mode of a
// FileStatus are 0, the user's id is 0 and he has no groups, so the checks made of them here pass
// (who may open a file there is the folder's access list's business), and no folder is shared yet.

// The per-user folder of the program's data: $XDG_DATA_HOME/cedolario on POSIX, the user's roaming
// application data (QStandardPaths::AppDataLocation) on Windows.
QString userArchiveFolder();

// Where earlier versions of the program kept the archive, fillcp.dll, to be read only: on Windows in the
// system folder, in its SysWOW64 twin (where a 32-bit program's writes to the system folder went), and
// in the user's VirtualStore copies of both (where the writes of a program not run as administrator
// went); empty elsewhere.
QStringList oldArchivePaths();

// The folder the machine's users may share the archive in (CEDOLARIO_SYSTEM_DIR), or empty where the
// system has none.
QString sharedArchiveFolder();

// What stands at path, without following a link or a reparse point at its last name. False with
// lastFileError() (a Missing error when nothing does).
bool pathStatus(const QString& path, FileStatus& status);

// Makes the folder at path, private to the user (POSIX: 0700, less what the umask takes away). Its
// parent must exist. False with lastFileError().
bool makePrivateDirectory(const QString& path);

// The effective user, and every group the process holds (POSIX); 0 and none on Windows.
quint32 currentUserId();
std::vector<quint32> currentGroupIds();
// What a Windows folder's access list says of who may change what it holds.
struct AccessListFacts {
    bool unreadable = false;            // the list could not be read
    bool noAccessList = false;          // no list at all: everyone may do everything
    bool ownedByAdministrators = false; // its owner is the Administrators group or the system
    bool groupExists = false;           // the local group of the archive exists
    bool groupMayWrite = false;         // that group may make, change and remove files in it
    QStringList otherWriters;           // any other account that may write in it or change its rights
    bool userInGroup = false;           // the user running the program is a member of that group
};

// Windows: true, with the access list of the folder at path judged for the local group groupName
// (unreadable when it could not be read). Elsewhere always false: the folder's mode bits say it all.
bool folderAccessList(const QString& path, const QString& groupName, AccessListFacts& facts);

// The id of the group of that name, none when it does not exist (always none on Windows).
std::optional<quint32> groupIdOf(const QString& name);
