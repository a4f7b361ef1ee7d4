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
    if (const Failure failure = SlipArchive(path).load(table))
        return {QStringLiteral("<") + failure.text() + u'>'};
    return names(table);
}

enum Operation { Load, Ensure, Append, Remove };

// Runs one operation on the archive at path.
inline Failure run(Operation operation, const QString& path)
{
    SlipArchive archive(path);
    archive.setLockTimeout(200);
    switch (operation) {
    case Load: {
        ArchiveTable table;
        return archive.load(table);
    }
    case Ensure:
        return archive.ensureExists();
    case Append:
        return archive.append(savedRecord("Nuovo"));
    case Remove: {
        // The first record as the list showed it.
        const ArchiveTable shown = readArchive(savedRecord("Primo"));
        return archive.remove(0, shown[0]);
    }
    }
    return Failure::failed(QStringLiteral("operazione sconosciuta"));
}
