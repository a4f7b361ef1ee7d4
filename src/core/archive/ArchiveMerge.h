// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/archive/SlipRecord.h"

#include <QByteArray>

class StoredDateReader;

// What bringing the records of another archive into this one does, worked out without writing: which
// of them this archive lacks, in their order. A record is already there when its 16 values equal those
// of a record of current, and a repeat when they equal those of one before it in incoming. With dates,
// the saving dates are compared by the day they name ("05 March 2026" is "05 marzo 2026"), a date that
// cannot be read by its text.
struct MergePlan {
    qsizetype added = 0;
    qsizetype alreadyPresent = 0; // in current already
    qsizetype repeatedInFile = 0; // a record incoming itself held before
    QByteArray bytes;             // the added records, in the rewrite shape
};

MergePlan planMerge(const ArchiveTable& current, const ArchiveTable& incoming,
                    const StoredDateReader* dates = nullptr);
