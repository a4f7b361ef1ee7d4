// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QString>
#include <QtGlobal>

// The file layer: the one place where the program talks to the system about files, so that the rest
// of it reads the same on every system. Two implementations, chosen by the build: FileLayerPosix.cpp
// (descriptors, openat through the folder's descriptor, flock, fsync, renameat) and FileLayerWin32.cpp
// (handles, CreateFileW on wide names, LockFileEx, MoveFileExW with write-through, FlushFileBuffers).
//
// What both promise:
// - A file is opened by its name in a folder that is held open, and the name itself is never followed:
//   a symbolic link (on Windows any reparse point: a link or a junction) is refused, and so is anything
//   that is not a plain file on a disk (a FIFO, a device, a socket, a folder). Nothing opened here can
//   make the program wait for a writer that never comes.
// - A file made here is made exclusively, so nothing planted at its name is ever opened; it gets the
//   folder's rule for new files (POSIX: 0600, 0660 in a setgid folder shared by a group, whatever the
//   umask; Windows: the folder's inherited permissions).
// - The files stay open for others to rename or remove, as on POSIX: replacing a file that a reader
//   holds leaves the reader with the old contents.
// - A failed call returns false (or an empty handle) and leaves its cause for lastFileError(); a cause
//   is a number of the system's (errno on POSIX, GetLastError() on Windows) told in Italian by
//   systemErrorText().

// The system's error of the layer's last failed call in this thread.
int lastFileError();

// Causes that the callers tell apart, as the system numbers them.
enum class FileErrorKind {
    Missing,    // no file or folder at the name
    Exists,     // the name is taken
    NoSpace,    // the disk is full
    WouldBlock, // a resource is busy for now
};
int fileErrorNumber(FileErrorKind kind);
bool isFileError(int error, FileErrorKind kind);

// Which file a handle or a name is, on its disk: device and inode on POSIX, volume serial number and
// file index on Windows.
struct FileIdentity {
    quint64 device = 0;
    quint64 index = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

enum class FileKind { Regular, Directory, Link, Fifo, Device, Socket, Other };

struct FileStatus {
    FileIdentity identity;
    FileKind kind = FileKind::Other;
    qint64 size = 0;
    quint64 links = 0;   // the names the file has (hard links)
    qint64 modified = 0; // the last change of its contents, in nanoseconds since 1970
    quint32 owner = 0;   // POSIX: the owner's uid; Windows: 0
    quint32 group = 0;   // POSIX: the group's gid; Windows: 0
    quint32 mode = 0;    // POSIX: the permission bits with setuid, setgid and sticky; Windows: 0
};

// The single owner of an open file of the system. Moved, never copied; closed when it dies.
class FileHandle
{
public:
    using Native = qintptr; // a descriptor, or a HANDLE

    FileHandle() = default;
    explicit FileHandle(Native native) : m_native(native) {}
    ~FileHandle() { close(); }
    FileHandle(FileHandle&& other) noexcept : m_native(other.m_native) { other.m_native = Invalid; }
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool isOpen() const { return m_native != Invalid; }
    Native native() const { return m_native; }
    // Closes the file (a lock held on it goes with it); lastFileError() stays as it was.
    void close();

    bool status(FileStatus& status) const;
    // Reads up to size bytes at offset into data; got is 0 at the end of the file. Safe from two
    // threads at once.
    bool readAt(qint64 offset, char* data, qsizetype size, qsizetype& got) const;
    // Reads the bytes from offset on until size of them are read or the file ends; got says how many.
    bool readFully(qint64 offset, char* data, qsizetype size, qsizetype& got) const;
    // Writes all of the bytes at the end of the file: every file the program writes grows only at its
    // end (an archive appended to, a new file written in order). A write the system takes none of
    // fails as a full disk.
    bool writeAll(const char* data, qsizetype size);
    // Cuts the file to size bytes.
    bool truncate(qint64 size);
    // Writes what the system holds of the file to the disk.
    bool flush();

    // The writers' lock on this file, exclusive between processes and between handles of one process,
    // waited for until deadline (not at all when it has expired). It is released when the handle is
    // closed, and by the system when the process ends, however it ends. Locked, Busy when another
    // holder kept it past the deadline, Failed with lastFileError(). After Busy, try again on a new
    // handle: on POSIX the abandoned wait still holds a duplicate of this one.
    enum class LockResult { Locked, Busy, Failed };
    LockResult lock(const QDeadlineTimer& deadline);

private:
    static constexpr Native Invalid = -1;
    Native m_native = Invalid;
};

// A folder held open, through which the files in it are opened, made, replaced and removed by name.
// Names are single names in this folder, never paths.
class DirectoryHandle
{
public:
    DirectoryHandle() = default;
    DirectoryHandle(DirectoryHandle&&) noexcept = default;
    DirectoryHandle& operator=(DirectoryHandle&&) noexcept = default;

    // Opens the folder at path (following the links on the way: they are the system's to judge).
    bool open(const QString& path);
    bool isOpen() const { return m_handle.isOpen(); }
    const QString& path() const { return m_path; }
    // The folder's own handle, for this layer's files of one system.
    const FileHandle& handle() const { return m_handle; }
    bool status(FileStatus& status) const;

    enum class Access {
        Read,
        ReadWrite,   // reads anywhere, writes at the end
        WriteAppend, // writes at the end
    };
    // A plain file opened by name, or why not.
    struct Opened {
        FileHandle file;
        FileStatus status;
        bool created = false;
        bool missing = false; // nothing at the name, and create was false
        QString cause;        // in Italian; empty on success
    };
    // Opens the plain file at name; with create, makes it first (exclusively) when it is missing.
    Opened openRegular(const QString& name, Access access, bool create) const;
    // Makes a new plain file at name, exclusively: false with an Exists error when the name is taken,
    // whatever stands there.
    bool createNew(const QString& name, Access access, FileHandle& file) const;
    // What stands at name, without following it. False with a Missing error when nothing does.
    bool statusOf(const QString& name, FileStatus& status) const;
    // True when name is, without following it, the file of the handle.
    bool nameIs(const QString& name, const FileHandle& file) const;
    // Removes the name (a link goes, never what it points to).
    bool remove(const QString& name) const;
    // Gives from's file the name to, in place of what stands there, in one step. heldTarget: the
    // caller's own handle on the file at to, if it has one. Handles on the replaced file keep it as it
    // was; where the system cannot replace a file that is held open (Windows before the POSIX renames
    // of Windows 10, or a disk without them), heldTarget is closed first, and a file held by another
    // program makes the replace fail, with nothing changed.
    bool replace(const QString& from, const QString& to, FileHandle* heldTarget = nullptr) const;
    // Writes the folder's entries (a file made, renamed or removed) to the disk.
    bool flush() const;

private:
    FileHandle m_handle;
    QString m_path;
    quint32 m_newFileMode = 0600;
};

// Asks the system to back the untouched buffer at data with large pages where it can: a large archive
// is then read with a few hundred page faults instead of tens of thousands. A refusal changes nothing.
void adviseLargePages(char* data, qsizetype size);

// POSIX: the kind of file that st_mode names. Windows: Other.
FileKind fileKindOfMode(quint32 mode);
