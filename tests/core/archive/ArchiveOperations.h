// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/archive/SlipArchive.h"

#include "ArchiveRecords.h"

#include <QString>
#include <QStringList>

// The archive's operations as the safety tests run them, one at a time on a fresh SlipArchive.

// The payers' names of the archive at path, or "<the error>" when it cannot be read.
inline QStringList namesIn(const QString& path)
{
    ArchiveTable table;
    QString error;
    if (!SlipArchive(path).load(table, error))
        return {QStringLiteral("<") + error + u'>'};
    return names(table);
}

enum Operation { Load, Ensure, Append, Remove };

// Runs one operation on the archive at path; true when it succeeded. error gets its message.
inline bool run(Operation operation, const QString& path, QString& error)
{
    SlipArchive archive(path);
    archive.setLockTimeout(200);
    switch (operation) {
    case Load: {
        ArchiveTable table;
        return archive.load(table, error);
    }
    case Ensure:
        return archive.ensureExists(error);
    case Append:
        return archive.append(savedRecord("Nuovo"), error) == SlipArchive::WriteResult::Written;
    case Remove: {
        // The first record as the list showed it.
        const ArchiveTable shown = readArchive(savedRecord("Primo"));
        return archive.remove(0, shown[0], error) == SlipArchive::RemoveResult::Removed;
    }
    }
    return false;
}
