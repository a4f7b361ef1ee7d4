// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the tests do to files beyond Qt's reach, on any system: POSIX permission bits and the umask,
// root, symbolic links and FIFOs. Where the system has no such thing (Windows: no permission bits, no
// FIFO in a folder, links only with a privilege), the helpers say so and the test skips that part
// with a clear reason. SystemSupportPosix.cpp and SystemSupportWin32.cpp, one chosen by the build.

// Whether files here have POSIX permission bits, owners and a umask.
bool hasPosixPermissions();
// The permission bits (with setuid, setgid and sticky) of what stands at path, not following a link
// there; -1 when nothing does or the system has none.
int permissionsOf(const QString& path);
// chmod(); false where the system has no permission bits.
bool setPermissions(const QString& path, int mode);
// The process's umask (POSIX); nothing elsewhere.
void setFileCreationMask(int mask);
// chown(); false where the system has no such owners.
bool setOwner(const QString& path, quint32 user, quint32 group);
// Whether the process runs as root, whom permissions do not stop (POSIX uid 0).
bool runsAsRoot();

// Makes a symbolic link at link that points to target. False, with why in English for QSKIP, where
// this system or this user cannot: on Windows a link needs the privilege to make one (an administrator,
// or the developer mode), and Wine may refuse it.
bool makeSymbolicLink(const QString& target, const QString& link, QString& why);
// Makes a FIFO at path. False, with why, where the system has none in a folder (Windows).
bool makeFifo(const QString& path, QString& why);
