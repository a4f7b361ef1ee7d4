// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"
#include "core/archive/SlipRecord.h"
#include "core/files/FileHandle.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

// The archive file and the operations on it. Every file is opened through the file layer, by its name
// in the archive's directory held open, never by following a name: a link, a FIFO, a device or a
// directory where the archive, its lock or a temporary file should be is refused, and none can make the
// program hang. Writers lock the file "fillcp.dll.lock" beside the archive (WriterLock, waited for about
// one second);
// an append writes all its records at once and a deletion writes a temporary file in the same
// directory and renames it over the archive. Both are synced to disk before they report success.
// An append is all or nothing even if the program is killed half-way: before it writes, it leaves the
// journal "fillcp.dll.journal" beside the archive (the archive's identity and size before the append,
// synced), and removes it once the records are synced. Whoever takes the lock next and finds a journal
// cuts the archive back to that size, provided the journal is one of ours about this very file; any other
// journal is refused and reported, and the archive is not touched (ArchiveJournal). The file is read by
// ArchiveReader.
// Every operation returns a Failure whose text is the whole message, in Italian: it names the file and
// the cause, and for a write says what is left as it was. The writes tell two more kinds apart: Busy,
// when another copy of the program held the lock past the wait (nothing was written, and trying again
// later may succeed), and, for remove() and restore(), Moved.
class WriterLock;
class StoredDateReader;

// The sentence after the message of a failed write of several slips (a sheet's, another archive's):
// none of them was added.
QString NoSlipAddedText();

class SlipArchive
{
public:
    // The archive at path. The directory found there now is the archive's for the life of the object:
    // if it disappears or is replaced, operations fail and say so.
    explicit SlipArchive(QString path);

    const QString& path() const { return m_path; }
    // How long a writer waits for another one to finish (default 1 s).
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }
    // Largest archive read into memory (default 1 GiB); a larger one is refused with a message.
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }
    qint64 sizeLimit() const { return m_sizeLimit; }

    // Creates the empty file when there is none (0600, or 0660 in a setgid shared directory).
    Failure ensureExists() const;

    // The file as an operation saw it: its identity and size.
    struct FileState {
        FileIdentity identity;
        qint64 size = -1; // -1 when not known
        friend bool operator==(const FileState&, const FileState&) = default;
    };

    // Reads every record. A missing file is an empty archive. An append that a killed writer left half
    // done is undone first (see above), when the lock can be had.
    Failure load(ArchiveTable& table) const;
    // The same, with the file's state at the moment it was read (size -1 when it changed meanwhile).
    Failure load(ArchiveTable& table, FileState& seen) const;

    // Hands every record to visit, in file order, reading the file a piece at a time and keeping none: the
    // records, and the refusals (a file past the size limit, one that cannot be read), are those of load(),
    // but the memory taken follows the longest record, not the archive. After a failure visit may have
    // seen some of the records, and what it made of them is to be dropped.
    Failure forEachRecord(const std::function<void(const SlipRecord&)>& visit) const;
    // The size of the pieces forEachRecord reads (default 256 KiB); the tests take a few bytes.
    void setReadPiece(qsizetype bytes) { m_readPiece = qMax<qsizetype>(1, bytes); }

    // The file's bytes as they stand between two writers: read under the writers' lock, after undoing
    // what a killed writer left half done. A missing file reads as no bytes. Busy when another copy
    // held the lock past the wait.
    Failure snapshot(QByteArray& bytes) const;
    // Where an append went: the file's state just before and just after it, and whether a record cut
    // short at the end had to be completed first.
    struct Appended {
        FileState before;
        FileState after;
        bool padded = false;
    };
    // Appends one record's bytes (see encodeSavedRecord). On failure the file is left as it was. Only
    // the file's last bytes are read, so the cost does not grow with the archive.
    Failure append(QByteArrayView recordBytes) const;
    Failure append(QByteArrayView recordBytes, Appended& where) const;
    // Appends several records in one locked step: all of them or, on failure, none.
    Failure appendAll(const QList<QByteArray>& records) const;

    struct MergeCounts {
        qsizetype added = 0;
        qsizetype skipped = 0;        // both kinds below
        qsizetype alreadyPresent = 0; // in this archive already
        qsizetype repeatedInFile = 0; // a record the incoming file itself held before
    };
    // Appends the records of another archive (one brought from another machine, say) that are not
    // already in this one, in their order, in one write under the lock: all of them or, on failure,
    // none. A record is already there when its 16 values equal those of a record of this archive, and
    // a repeat when they equal those of one before it in incoming. With dates, the saving dates are
    // compared by the day they name ("05 March 2026" is "05 marzo 2026"), a date that cannot be read
    // by its text. counts says how many records were added and skipped (all 0 unless written).
    Failure merge(const ArchiveTable& incoming, MergeCounts& counts,
                  const StoredDateReader* dates = nullptr) const;

    // Rewrites the file without its record at index, provided that record still equals expected.
    // The other records keep their order, in the rewrite shape. Moved, with nothing written, when the
    // record at index is no longer the one given (another program changed the file).
    Failure remove(qsizetype index, const SlipRecord& expected) const;
    // Puts a deleted record back where it was: after the record that preceded it (before: none when it
    // was the first) or, when that one has gone, in front of the one that followed it (after), each
    // looked for nearest to index; else at index. Written as remove writes (Moved only when the archive
    // file has gone).
    Failure restore(qsizetype index, const SlipRecord& record, const std::optional<SlipRecord>& before,
                    const std::optional<SlipRecord>& after) const;

    // For the tests of the journal: every later append writes only its first bytes, then stops as a
    // process killed at that moment would, leaving the file and the journal behind (a failure).
    void setInterruptAfter(qsizetype bytes) { m_interruptAfter = bytes; }

private:
    // What a rewrite changes: the record left out, and the one put in before the record at insertAt
    // (at the end when insertAt is the count).
    struct Rewrite {
        qsizetype skip = -1;
        qsizetype insertAt = -1;
        const SlipRecord* inserted = nullptr;
    };
    // The archive's file opened for reading, after undoing what a killed writer left half done: the
    // first steps of load() and forEachRecord(). A missing file is opened.missing.
    Failure openForReading(DirectoryHandle::Opened& opened) const;
    // Opens the archive's folder, takes the writers' lock and undoes what a killed writer left half done,
    // then runs work while the lock is held; the lock is let go when work returns. A failure before work
    // changed nothing and is told through unchanged, except the lock's own, which is returned as it is.
    Failure
    underWriterLock(const std::function<Failure(const QString& cause)>& unchanged,
                    const std::function<Failure(const DirectoryHandle&, const WriterLock&)>& work) const;
    // Under the lock, rewrites the file as edit says from what it holds at that moment (Moved, with
    // nothing written, when edit says none), through a temporary file renamed over it.
    Failure rewriteUnderLock(const std::function<std::optional<Rewrite>(const ArchiveTable&)>& edit,
                             bool restoring) const;
    // Under the lock, appends what recordsFor makes of the file's bytes at that moment (nothing when it
    // makes nothing), after the padding a record cut short needs. With wholeFile false, recordsFor gets
    // no bytes and only the file's tail is read.
    Failure appendUnderLock(bool wholeFile,
                            const std::function<QByteArray(const QByteArray& existing)>& recordsFor,
                            Appended& where) const;
    // Under the lock, appends bytes to the archive's open file behind a journal, undoing the append
    // when it cannot be completed: the failure's text follows the message's prefix, and says what was
    // left. replaced: the file was no longer the archive once written, so the append is to be made again.
    Failure appendToFile(const DirectoryHandle& dir, DirectoryHandle::Opened& file, const QByteArray& bytes,
                         Appended& where, bool& replaced) const;
    // The records of current as change leaves them, into out; false on a write error (lastFileError).
    static bool writeRewritten(FileHandle& out, const ArchiveTable& current, const Rewrite& change);
    // What was appended to old, past its first readSize bytes, since they were read, after out's bytes;
    // false on an error (lastFileError).
    static bool carryLateAppends(FileHandle& old, FileHandle& out, qint64 readSize);

    QString m_path;
    QString m_directory;
    QString m_name; // the file's name in m_directory
    // The directory found at construction, held open so that no other can take its identity.
    std::shared_ptr<const DirectoryHandle> m_directoryHeld;
    int m_lockTimeout = 1000;
    qint64 m_sizeLimit = qint64(1) << 30;
    qsizetype m_readPiece = qsizetype(256) << 10;
    qsizetype m_interruptAfter = -1;
};
