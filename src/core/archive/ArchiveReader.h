// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Failure.h"
#include "core/archive/SlipRecord.h"
#include "core/files/FileHandle.h"

#include <QByteArray>
#include <QString>

// Reading the archive file, open through the file layer: the whole of it, bounded by the size the
// program is willing to hold, or only its last bytes.

// The refusal of an archive of size bytes beyond limit (its text a clause), or nothing.
Failure tooLarge(qint64 size, qint64 limit, const QString& path);

// Reads the file's first size bytes (fewer when it was cut short meanwhile) into bytes; false with
// lastFileError().
bool readWholeFile(const FileHandle& file, qint64 size, QByteArray& bytes);

// Reads the archive open at file, refusing one beyond limit, into bytes. The failure's text is a clause.
Failure readArchiveFile(const DirectoryHandle::Opened& file, qint64 limit, const QString& path,
                        QByteArray& bytes);

// Reads the archive open at file, refusing one beyond limit, and cuts it into records. A large archive
// is cut while a second thread is still reading it. The failure's text is a clause.
Failure readArchiveTable(const DirectoryHandle::Opened& file, qint64 limit, const QString& path,
                         ArchiveTable& table);

// The separator a new record needs after the file, whose size is known, read from its last bytes only
// (more of them only when the last ones cannot tell); false with lastFileError().
bool separatorAtEnd(const FileHandle& file, qint64 size, QByteArray& separator);
