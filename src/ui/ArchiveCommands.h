// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipArchive.h"
#include "core/archive/SlipRecord.h"
#include "core/slip/SlipFields.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

struct Services;

// Starts work on thread; false when the system gives no thread (too many, or no memory for one).
using ThreadStarter = std::function<bool(std::thread& thread, std::function<void()> work)>;
// std::thread's own start, its failure turned into false.
bool startThread(std::thread& thread, std::function<void()> work);

// The archive operations of the palette on plain values: start-up, list, save, recall, delete. The
// table holds the records of the last list load; list entry i stands for record i. Questions and
// failures go through the message boxes of Services, in Italian; a failure leaves the file as it was.
// The file work runs off the interface thread while the windows take no input, so a long archive
// never freezes them; when another copy holds the archive's lock past about a second, the user is
// asked whether to try again.
class ArchiveCommands
{
public:
    explicit ArchiveCommands(Services& services);
    ~ArchiveCommands();

    // Creates an empty archive file when there is none.
    void EnsureArchiveFile();
    // Reads the archive anew into table(); a file that cannot be read is reported and lists nothing.
    // With a folder for copies (Services), the user is told when the archive holds fewer records than
    // it did at the last load or, at the first load, at this user's last run, beyond what this program
    // deleted; the count is recorded, and the first load keeps today's copy of an archive that has not
    // shrunk, on a thread of its own.
    void LoadArchiveList();
    // What a save did to the archive and to table().
    enum class SaveResult {
        NotSaved,   // the user said no, or the slip cannot be stored (told): the file is as it was
        Failed,     // the file could not be written (told), or the user gave up waiting for the lock
        Saved,      // written; the file changed otherwise too since the last load, which must be redone
        SavedAtEnd, // written right after the records of table(): AddSavedRecord() makes the table the file
    };
    // Asks, then appends the slip with the save date (the user is told once it is on the disk).
    SaveResult SaveCurrentSlip(const SlipTexts& fields, const PaletteState& state);
    // After SavedAtEnd: puts the saved record at the end of table(), which then holds what the file does.
    // Whoever shares the table should let go of it first, so that its records are not copied.
    void AddSavedRecord();
    // The record behind list entry row of the last load, as stored; none when there is no such entry.
    std::optional<SlipRecord> RecallRecord(qsizetype row) const;
    // Asks, then removes the record behind list entry row if the file still holds it there; true when
    // it was removed.
    bool DeleteRecord(qsizetype row);
    // Appends the records' bytes (several slips of a sheet, say) in one locked step, all or none: true
    // when written. A failure is told, ending with NoSlipAddedText().
    bool AppendRecords(const QByteArray& records);
    // Adds the records of another archive not already in this one (see SlipArchive::merge), the saving
    // dates compared by the day they name; the counts when written, none after a failure (told).
    std::optional<SlipArchive::MergeCounts> MergeArchive(const ArchiveTable& incoming);

    // Whether a deletion of this run can be undone, and the undoing: the last deleted record put back
    // where it was, under the lock; true when it was (and the next older deletion is then the last).
    bool CanUndoDelete() const { return !m_deleted.empty(); }
    bool UndoDelete();

    const ArchiveTable& table() const { return m_table; }
    qsizetype RecordCount() const { return m_table.size(); }

    // The language of the saved dates and of the month names read back besides Italian.
    void setLocale(const QLocale& locale) { m_locale = locale; }
    const QLocale& locale() const { return m_locale; }
    // How long one attempt waits for another copy's lock before the user is asked (default 1 s).
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }
    // How the threads of the file work are started (startThread); a test puts one that fails. Without a
    // thread an operation does nothing to the file and reports it as a failure.
    void setThreadStarter(ThreadStarter starter) { m_startThread = std::move(starter); }

private:
    // The archive of this run: made at the first operation and kept, so it never moves; made anew
    // only if Services names another file.
    const SlipArchive& archive();

    // The count and copies described at LoadArchiveList.
    void watchRecordCount();
    void keepTodaysCopy(const QString& copiesDirectory);
    // The count recorded for the next run's check, when it changed.
    void recordCount(qsizetype count);

    Services& m_services;
    std::unique_ptr<SlipArchive> m_archive;
    // What the archive should hold at least: the count last seen, with this program's own saves and
    // deletions since.
    std::optional<qsizetype> m_expectedCount;
    std::optional<qsizetype> m_recordedCount;
    bool m_watching = false;
    // The deletions of this run, the last at the back: the record, its index, its neighbours.
    struct Deleted {
        qsizetype index = 0;
        SlipRecord record;
        std::optional<SlipRecord> before;
        std::optional<SlipRecord> after;
    };
    std::vector<Deleted> m_deleted;
    // The copy being written, and whether this object still stands for its report.
    std::thread m_keeper;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    ArchiveTable m_table;
    // The file as table() stands for it (size -1 when not known): a save that finds it so only adds its
    // record to the table.
    SlipArchive::FileState m_seen;
    // A record saved right after them, not yet in the table, and the file's state with it.
    std::optional<SlipRecord> m_saved;
    SlipArchive::FileState m_seenWithSaved;
    QLocale m_locale = QLocale::system();
    int m_lockTimeout = 1000;
    ThreadStarter m_startThread = startThread;
};
