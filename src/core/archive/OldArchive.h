// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/archive/SlipRecord.h"

#include <QList>
#include <QString>
#include <QStringList>

class StoredDateReader;

// Archives left where earlier versions of the program kept theirs: on Windows the system folder, where
// a program not run as administrator had its writes moved to the user's VirtualStore without a word,
// so the slips may lie in any of several places. They are only ever read.
struct OldArchivePlace {
    enum class Kind {
        Missing,    // nothing at the path
        Empty,      // a file without slips
        NothingNew, // slips, all of them in the user's archive or in a place before this one
        NewSlips,   // newSlips slips the user's archive lacks
        Unreadable, // cause says why
    };
    QString path;
    Kind kind = Kind::Missing;
    qsizetype newSlips = 0;
    QString cause;
};

struct OldArchiveSearch {
    QList<OldArchivePlace> places; // one for each path looked at, in the same order
    ArchiveTable incoming;         // the slips of every readable place, in the order of the places
    qsizetype newSlips = 0;        // how many of them the user's archive lacks, each counted once

    // The places of one kind (those with new slips, those that could not be read), in their order.
    QList<OldArchivePlace> placesOf(OldArchivePlace::Kind kind) const;
};

// Reads the archive files at paths as they are (no lock taken, nothing recovered, nothing written; a
// link, a reparse point, a folder or a device is unreadable, and so is a file over sizeLimit) and
// counts, as "Importa archivio…" would, the slips that current lacks.
OldArchiveSearch searchOldArchives(const QStringList& paths, const ArchiveTable& current,
                                   const StoredDateReader* dates, qint64 sizeLimit = qint64(1) << 30);

// The question that offers the new slips, and the notice for places that could not be read; both in
// Italian, with the paths in the system's own spelling.
QString oldArchiveQuestion(const OldArchiveSearch& search);
QString oldArchiveUnreadableNotice(const OldArchiveSearch& search);
