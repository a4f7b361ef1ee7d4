#pragma once

#include "core/archive/SlipRecord.h"
#include "core/slip/SlipFields.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

struct Services;

// The archive operations of the palette on plain values: start-up, list, save, recall, delete. The
// table holds the records of the last list load; list entry i stands for record i. Questions and
// failures go through the message boxes of Services, in Italian; a failure leaves the file as it was.
class ArchiveCommands
{
public:
    explicit ArchiveCommands(Services& services);

    // Creates an empty archive file when there is none.
    void EnsureArchiveFile();
    // Reads the archive anew and returns one list entry per record; a file that cannot be read is
    // reported and lists what could be read of it.
    QStringList LoadArchiveList();
    // Asks, then appends the slip with the save date; true when it was saved (and the user told so).
    bool SaveCurrentSlip(const SlipTexts& fields, const PaletteState& state);
    // The record behind list entry row of the last load, as stored; none when there is no such entry.
    std::optional<SlipRecord> RecallRecord(qsizetype row) const;
    // Asks, then removes the record behind list entry row if the file still holds it there; true when
    // it was removed.
    bool DeleteRecord(qsizetype row);

    const ArchiveTable& table() const { return m_table; }
    qsizetype RecordCount() const { return m_table.size(); }

    // The language of the saved dates and of the month names read back besides Italian.
    void setLocale(const QLocale& locale) { m_locale = locale; }

private:
    Services& m_services;
    ArchiveTable m_table;
    QLocale m_locale = QLocale::system();
};
