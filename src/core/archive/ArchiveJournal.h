// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Failure.h"
#include "core/files/FileHandle.h"

#include <QString>

// The rollback journal of an append: "fillcp.dll.journal" beside the archive, written (and synced)
// before the append and removed once the appended records are synced. It holds the archive's identity
// and size before the append, so whoever takes the writers' lock next and finds it cuts the archive back
// to that size, provided the journal is one of ours about this very file; any other journal is refused
// and the archive is not touched. Every function here runs under the writers' lock.

// True when something stands at the journal's name of the archive name.
bool journalPresent(const DirectoryHandle& directory, const QString& name);

// Undoes the append that the journal of the archive name describes, if there is one, and removes the
// journal. path is the archive's, for the messages. A journal that is not ours or not about this
// archive is refused, and nothing is touched. The failure's text is a clause.
Failure recoverJournal(const DirectoryHandle& directory, const QString& name, const QString& path);

// Writes the journal of an append to the archive name whose state is archive, synced with its name;
// the name is taken only by a rename, so no half-written journal ever stands there.
Failure writeJournal(const DirectoryHandle& directory, const QString& name, const FileStatus& archive);

// Removes the journal once the append it guards is synced: from then on the append stays. False with
// lastFileError().
bool removeJournal(const DirectoryHandle& directory, const QString& name);
