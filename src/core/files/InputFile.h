// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"

#include <QByteArray>
#include <QString>

// Every file the program reads on the user's say (a sheet of slips, an archive to merge) is opened
// here, so that no name can make it hang or swallow the memory:
// - opened with O_NONBLOCK|O_CLOEXEC, so that a FIFO answers at once instead of waiting for a writer;
// - a symbolic link at the name is followed only when it belongs to the user or to the directory's
//   owner (the rule of the Linux kernel's fs.protected_symlinks, applied whatever the system's
//   setting), and only if it is still that link once the file is open;
// - it must be a regular file (fstat after the open): a FIFO, a device such as /dev/zero, a socket or
//   a directory is refused with its reason;
// - its size is checked before reading, and it is read with that bound, so a file that grows while it
//   is read is refused too.

// Reads the file at path, of at most maxBytes, into bytes. The failure's text is the whole message,
// "Impossibile aprire il file PATH: cause." (or "leggere", for a failure once it is open).
Failure readInputFile(const QString& path, qint64 maxBytes, QByteArray& bytes);
