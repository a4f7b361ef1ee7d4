// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include "core/Failure.h"
#include "core/files/FileHandle.h"

#include <functional>
#include <memory>

// Every file the program writes on the user's say (a PDF, an exported sheet) is written here, whole or
// not at all, and never through a symbolic link. On POSIX systems (OutputFilePosix.cpp):
// - the directory is opened once and everything happens through its descriptor;
// - the contents go to a new temporary file made exclusively in that directory (a random name, 0600),
//   synced, given its final permissions, then renamed over the name;
// - the name itself is never opened, so no link, FIFO or device there is ever written through. What
//   stands there is checked (without following it) before writing and again at the rename, which
//   replaces only what was checked: an absent name must still be absent, and a replaced entry that
//   turns out to be another one is put back.
// Whose entry may be replaced follows the rule the Linux kernel applies to links in shared directories
// (fs.protected_symlinks), applied by the program whatever the system's setting: a link is replaced
// (the link, never what it points to) only when it belongs to the user or to the directory's owner;
// anybody else's link is refused. A regular file of another user in a sticky shared directory (/tmp)
// is refused too, as fs.protected_regular does. Directories, FIFOs, devices and sockets are refused.
// The links on the way to the directory are the system's to judge.
// On Windows (OutputFileWin32.cpp) the temporary file is made the same way and put in place by
// MoveFileExW with write-through, which replaces a link or a junction at the name, never what it points
// to; a folder or a device at the name is refused. The permissions are those the folder gives.

class OutputFile
{
public:
    explicit OutputFile(QString path);
    ~OutputFile(); // a file not committed leaves nothing behind
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Opens the directory, checks the name and makes the temporary file. The failure's text is the
    // clause "impossibile scrivere PATH: cause".
    Failure open();
    // Where the contents go, once open: buffered, write-only.
    QIODevice& device();
    // Writes what the device holds to the disk and puts the file in place of the name. A failure, its
    // text as open()'s, with nothing left behind, when it could not: the name is then as it was.
    Failure commit();

    // For tests: run between the last check of the name and the rename.
    void setBeforeRename(std::function<void()> hook) { m_beforeRename = std::move(hook); }

private:
    Failure fail(int error);
    Failure failWith(const QString& cause);
    void discard();

    class Device;
    QString m_path;
    QString m_name;
    QString m_temporary;
    DirectoryHandle m_directory;
    std::unique_ptr<Device> m_device;
    std::function<void()> m_beforeRename;
};

// Writes bytes as the file at path, as OutputFile does; the failure's text is a clause.
Failure writeOutputFile(const QString& path, QByteArrayView bytes);
