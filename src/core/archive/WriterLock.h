// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Failure.h"
#include "core/files/FileHandle.h"

#include <QString>

// The writers' lock, held for the life of the object: the file layer's lock on "fillcp.dll.lock"
// beside the archive, waited for until a timeout. The system drops it when its process ends, however it
// ends, so a writer killed half-way never blocks the next one. After taking it, the name is checked to
// be still the file locked: a lock file removed meanwhile locks nothing, so it is taken again on the new
// one.
class WriterLock
{
public:
    enum Outcome { Locked, Busy, Failed };

    // Takes the lock of the file name in directory (made when missing), waiting at most timeout
    // milliseconds. The directory must outlive the lock.
    WriterLock(const DirectoryHandle& directory, const QString& name, int timeout);

    Outcome outcome() const { return m_outcome; }
    // Still the lock file under its name: nobody removed or replaced it while it was held.
    bool stillHeld() const;

    // Why the lock was not taken, as the whole message about the archive at archivePath: Busy when
    // another copy of the program held it past the wait; empty once Locked.
    Failure failure(const QString& archivePath) const;

private:
    const DirectoryHandle& m_directory;
    QString m_name;
    FileHandle m_file;
    Outcome m_outcome = Failed;
    QString m_cause;
};
