// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/archive/ArchiveMerge.h"

#include "core/archive/ArchiveDates.h"

#include <QDate>
#include <QSet>

#include <array>

namespace {

// A record's identity: its 16 values, each ended by a byte no value holds; the date, when it can be
// read, by the day it names.
QByteArray identityOf(const SlipRecord& record, const StoredDateReader* dates)
{
    QByteArray bytes;
    const std::array<QByteArrayView, RecordColumnCount> values = record.columnViews();
    for (int column = 0; column < RecordColumnCount; ++column) {
        if (column == DateColumn && dates) {
            if (const std::optional<QDate> day = dates->read(record.column(DateColumn))) {
                bytes.append('=').append(day->toString(Qt::ISODate).toLatin1()).append('\n');
                continue;
            }
        }
        bytes.append(values[column]).append('\n');
    }
    return bytes;
}

} // namespace

MergePlan planMerge(const ArchiveTable& current, const ArchiveTable& incoming, const StoredDateReader* dates)
{
    QSet<QByteArray> present;
    present.reserve(current.size());
    for (const SlipRecord& record : current)
        present.insert(identityOf(record, dates));
    QSet<QByteArray> seen;
    seen.reserve(incoming.size());
    MergePlan plan;
    for (const SlipRecord& record : incoming) {
        const QByteArray identity = identityOf(record, dates);
        const bool repeated = seen.contains(identity);
        seen.insert(identity);
        if (present.contains(identity)) {
            ++plan.alreadyPresent;
            continue;
        }
        if (repeated) {
            ++plan.repeatedInFile;
            continue;
        }
        encodeRewrittenRecord(record, plan.bytes);
        ++plan.added;
    }
    return plan;
}
