// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipArchive.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/ArchiveJournal.h"
#include "core/archive/ArchiveMerge.h"
#include "core/archive/ArchiveReader.h"
#include "core/archive/WriterLock.h"

#include "core/files/SystemError.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// A short random suffix for a temporary file name.
QString randomSuffix()
{
    return QString::number(QRandomGenerator::system()->generate64(), 36);
}

// The archive's directory, opened; or why it cannot be.
struct Directory {
    DirectoryHandle handle;
    QString cause;
};

// Opens the directory and checks that it is still the one found at construction.
Directory openDirectory(const QString& directory, const DirectoryHandle* held)
{
    Directory result;
    if (!result.handle.open(directory)) {
        const int cause = lastFileError();
        if (isFileError(cause, FileErrorKind::Missing))
            result.cause = u"la cartella %1 non esiste più"_s.arg(directory);
        else
            result.cause = u"la cartella %1 non si può aprire (%2)"_s.arg(directory, systemErrorText(cause));
        return result;
    }
    FileStatus status;
    FileStatus original;
    if (!result.handle.status(status)) {
        result.cause = systemErrorText(lastFileError());
        result.handle = {};
        return result;
    }
    if (held && (!held->status(original) || original.identity != status.identity)) {
        result.cause = u"la cartella %1 è stata rimossa e sostituita da un'altra mentre il programma era "
                       u"aperto"_s.arg(directory);
        result.handle = {};
    }
    return result;
}

SlipArchive::FileState stateOf(const FileStatus& status)
{
    return {status.identity, status.size};
}

const QString Unchanged = u"\nL'archivio è rimasto com'era."_s;

// Undoes what a killed writer left half done; false with the cause when that cannot be done.
bool recovered(const DirectoryHandle& dir, const QString& name, const QString& path, QString& cause)
{
    switch (recoverJournal(dir, name, path, cause)) {
    case Recovery::NoJournal:
    case Recovery::RolledBack:
        return true;
    case Recovery::Refused:
    case Recovery::Failed:
        break;
    }
    return false;
}

// The temporary file of a rewrite: its usual name, cleared first (only a crashed deletion leaves it,
// and the name alone goes, never what a link there points to), else a random one. Made exclusively,
// so nothing planted there is ever opened. False with the cause, its full stop included.
bool createTemporary(const DirectoryHandle& dir, const QString& name, QString& temporary, FileHandle& out,
                     QString& cause)
{
    temporary = name + u".nuovo"_s;
    dir.remove(temporary);
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (attempt > 0)
            temporary = name + u".nuovo-"_s + randomSuffix();
        if (dir.createNew(temporary, DirectoryHandle::Access::WriteAppend, out))
            return true;
        if (!isFileError(lastFileError(), FileErrorKind::Exists)) {
            cause = u"il file temporaneo non si può creare (%1)."_s.arg(systemErrorText(lastFileError()));
            return false;
        }
    }
    cause = systemErrorText(fileErrorNumber(FileErrorKind::Exists)) + u'.';
    return false;
}

} // namespace

SlipArchive::SlipArchive(QString path) : m_path(std::move(path))
{
    const qsizetype slash = m_path.lastIndexOf(u'/');
    m_directory = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : m_path.left(slash));
    m_name = m_path.mid(slash + 1);
    auto held = std::make_shared<DirectoryHandle>();
    if (held->open(m_directory))
        m_directoryHeld = std::move(held);
}

bool SlipArchive::ensureExists(QString& errorText) const
{
    const QString prefix = u"Impossibile creare l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directory, m_directoryHeld.get());
    if (!dir.handle.isOpen()) {
        errorText = prefix + dir.cause + u'.';
        return false;
    }
    DirectoryHandle::Opened file = dir.handle.openRegular(m_name, DirectoryHandle::Access::Read, true);
    if (!file.file.isOpen()) {
        errorText = prefix + file.cause + u'.';
        return false;
    }
    if (file.created && (!file.file.flush() || !dir.handle.flush())) {
        errorText = prefix + systemErrorText(lastFileError()) + u'.';
        return false;
    }
    return true;
}

bool SlipArchive::load(ArchiveTable& table, QString& errorText) const
{
    FileState seen;
    return load(table, seen, errorText);
}

bool SlipArchive::openForReading(DirectoryHandle::Opened& opened, QString& errorText) const
{
    const QString prefix = u"Impossibile leggere l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directory, m_directoryHeld.get());
    if (!dir.handle.isOpen()) {
        errorText = prefix + dir.cause + u'.';
        return false;
    }
    // A journal left by a writer that was killed: its append is undone before anything is read. A
    // journal whose writer is still at work goes with it within the wait; one refused, or a lock that
    // cannot be had, leaves the file as it is for the next writer to report.
    if (journalPresent(dir.handle, m_name)) {
        const WriterLock lock(dir.handle, m_name + u".lock"_s, m_lockTimeout);
        QString ignored;
        if (lock.outcome() == WriterLock::Locked)
            recoverJournal(dir.handle, m_name, m_path, ignored);
    }
    opened = dir.handle.openRegular(m_name, DirectoryHandle::Access::Read, false);
    if (!opened.missing && !opened.file.isOpen()) {
        errorText = prefix + opened.cause + u'.';
        return false;
    }
    return true;
}

bool SlipArchive::load(ArchiveTable& table, FileState& seen, QString& errorText) const
{
    table.clear();
    seen = {};
    DirectoryHandle::Opened file;
    if (!openForReading(file, errorText))
        return false;
    if (file.missing)
        return true;
    QString cause;
    if (!readArchiveTable(file, m_sizeLimit, m_path, table, cause)) {
        errorText = u"Impossibile leggere l'archivio %1: %2."_s.arg(m_path, cause);
        return false;
    }
    FileStatus after;
    if (file.file.status(after) && after.size == file.status.size && after.modified == file.status.modified)
        seen = stateOf(file.status);
    return true;
}

bool SlipArchive::forEachRecord(const std::function<void(const SlipRecord&)>& visit, QString& errorText) const
{
    // The journal of a killed append is undone before the file is opened, as for load(): the stream then
    // reads the very bytes load() would, and nothing of the journal needs applying to what it hands over.
    DirectoryHandle::Opened file;
    if (!openForReading(file, errorText))
        return false;
    if (file.missing)
        return true;
    // The same limit as load(), though nothing here grows with the file: an archive that cannot be listed
    // is not compared with either, so the two never disagree about what the archive holds.
    if (const std::optional<QString> refusal = tooLarge(file.status.size, m_sizeLimit, m_path)) {
        errorText = u"Impossibile leggere l'archivio %1: %2."_s.arg(m_path, *refusal);
        return false;
    }
    // The bytes there when the file was opened, as load() reads: an append under way meanwhile is the
    // next reader's. A file cut short meanwhile ends where it was cut.
    ArchivePieceReader records(visit);
    const qint64 size = file.status.size;
    for (qint64 offset = 0; offset < size;) {
        const qsizetype wanted = qsizetype(qMin<qint64>(m_readPiece, size - offset));
        char* const room = records.room(wanted);
        qsizetype got = 0;
        if (!file.file.readAt(offset, room, wanted, got)) {
            errorText =
                u"Impossibile leggere l'archivio %1: %2."_s.arg(m_path, systemErrorText(lastFileError()));
            return false;
        }
        records.added(got);
        if (got == 0)
            break;
        offset += got;
    }
    records.finish();
    return true;
}

SlipArchive::SnapshotResult SlipArchive::snapshot(QByteArray& bytes, QString& errorText) const
{
    bytes.clear();
    const QString prefix = u"Impossibile leggere l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directory, m_directoryHeld.get());
    if (!dir.handle.isOpen()) {
        errorText = prefix + dir.cause + u'.';
        return SnapshotResult::Failed;
    }
    const WriterLock lock(dir.handle, m_name + u".lock"_s, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? SnapshotResult::Busy : SnapshotResult::Failed;
    }
    QString cause;
    switch (recoverJournal(dir.handle, m_name, m_path, cause)) {
    case Recovery::NoJournal:
    case Recovery::RolledBack:
        break;
    case Recovery::Refused:
    case Recovery::Failed:
        errorText = prefix + cause + u'.';
        return SnapshotResult::Failed;
    }
    const DirectoryHandle::Opened file = dir.handle.openRegular(m_name, DirectoryHandle::Access::Read, false);
    if (file.missing)
        return SnapshotResult::Read;
    if (!file.file.isOpen()) {
        errorText = prefix + file.cause + u'.';
        return SnapshotResult::Failed;
    }
    if (!readArchiveFile(file, m_sizeLimit, m_path, bytes, cause)) {
        bytes.clear();
        errorText = prefix + cause + u'.';
        return SnapshotResult::Failed;
    }
    return SnapshotResult::Read;
}

SlipArchive::WriteResult SlipArchive::append(QByteArrayView recordBytes, QString& errorText) const
{
    Appended where;
    return append(recordBytes, where, errorText);
}

SlipArchive::WriteResult SlipArchive::append(QByteArrayView recordBytes, Appended& where,
                                             QString& errorText) const
{
    return appendUnderLock(
        false, [recordBytes](const QByteArray&) { return recordBytes.toByteArray(); }, where, errorText);
}

SlipArchive::WriteResult SlipArchive::appendAll(const QList<QByteArray>& records, QString& errorText) const
{
    Appended where;
    return appendUnderLock(
        false,
        [&records](const QByteArray&) {
            QByteArray bytes;
            for (const QByteArray& record : records)
                bytes.append(record);
            return bytes;
        },
        where, errorText);
}

SlipArchive::WriteResult SlipArchive::merge(const ArchiveTable& incoming, MergeCounts& counts,
                                            QString& errorText, const StoredDateReader* dates) const
{
    counts = {};
    MergeCounts found;
    Appended where;
    const WriteResult result = appendUnderLock(
        true,
        [&](const QByteArray& existing) {
            MergePlan plan = planMerge(readArchive(existing), incoming, dates);
            found.added = plan.added;
            found.alreadyPresent = plan.alreadyPresent;
            found.repeatedInFile = plan.repeatedInFile;
            return std::move(plan.bytes);
        },
        where, errorText);
    if (result != WriteResult::Written)
        return result;
    counts = found;
    counts.skipped = found.alreadyPresent + found.repeatedInFile;
    return WriteResult::Written;
}

SlipArchive::WriteResult
SlipArchive::appendUnderLock(bool wholeFile,
                             const std::function<QByteArray(const QByteArray& existing)>& recordsFor,
                             Appended& where, QString& errorText) const
{
    where = {};
    const QString prefix = u"Impossibile scrivere nell'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directory, m_directoryHeld.get());
    if (!dir.handle.isOpen()) {
        errorText = prefix + dir.cause + u'.' + Unchanged;
        return WriteResult::Failed;
    }
    const WriterLock lock(dir.handle, m_name + u".lock"_s, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? WriteResult::Busy : WriteResult::Failed;
    }
    QString recoveryCause;
    if (!recovered(dir.handle, m_name, m_path, recoveryCause)) {
        errorText = prefix + recoveryCause + u'.' + Unchanged;
        return WriteResult::Failed;
    }

    // The archive may be replaced under us only by a writer that ignored a lock removed by someone:
    // then what was appended went to a file that is no longer the archive, and it is appended again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        DirectoryHandle::Opened file =
            dir.handle.openRegular(m_name, DirectoryHandle::Access::ReadWrite, true);
        if (!file.file.isOpen()) {
            errorText = prefix + file.cause + u'.' + Unchanged;
            return WriteResult::Failed;
        }
        if (file.status.links > 1) {
            errorText = prefix + u"il file ha più di un nome (collegamento fisico) e non viene scritto."_s +
                        Unchanged;
            return WriteResult::Failed;
        }
        QByteArray existing;
        QString cause;
        // An archive too large to list is not made larger: its user is told to move it first.
        if (const std::optional<QString> refusal = tooLarge(file.status.size, m_sizeLimit, m_path)) {
            errorText = prefix + *refusal + u'.' + Unchanged;
            return WriteResult::Failed;
        }
        if (wholeFile && !readArchiveFile(file, m_sizeLimit, m_path, existing, cause)) {
            errorText = prefix + cause + u'.' + Unchanged;
            return WriteResult::Failed;
        }
        const QByteArray records = recordsFor(existing);
        if (records.isEmpty())
            return WriteResult::Written;
        // A record cut short by the end of the file is completed with empty lines, so that the new one
        // starts a record of its own instead of filling the cut one's values.
        QByteArray bytes;
        if (wholeFile) {
            bytes = separatorBeforeNewRecord(existing);
        } else if (!separatorAtEnd(file.file, file.status.size, bytes)) {
            errorText = prefix + systemErrorText(lastFileError()) + u'.' + Unchanged;
            return WriteResult::Failed;
        }
        where.padded = !bytes.isEmpty();
        bytes.append(records);
        switch (appendToFile(dir.handle, file, bytes, where, cause)) {
        case AppendStep::Written:
            return WriteResult::Written;
        case AppendStep::Failed:
            errorText = prefix + cause;
            return WriteResult::Failed;
        case AppendStep::Replaced:
            break;
        }
    }
    errorText = prefix + u"il file è stato sostituito più volte durante il salvataggio. Riprovare."_s;
    return WriteResult::Failed;
}

SlipArchive::AppendStep SlipArchive::appendToFile(const DirectoryHandle& dir, DirectoryHandle::Opened& file,
                                                  const QByteArray& bytes, Appended& where,
                                                  QString& cause) const
{
    const qint64 before = file.status.size;
    const auto undo = [&](int error) {
        if (file.created) {
            file.file.close();
            dir.remove(m_name);
            removeJournal(dir, m_name);
        } else if (!file.file.truncate(before) || !file.file.flush() || !removeJournal(dir, m_name)) {
            // The journal stays: whoever opens the archive next undoes the append.
            cause = systemErrorText(error) +
                    u".\nIl salvataggio incompleto sarà annullato alla prossima apertura dell'archivio."_s;
            return AppendStep::Failed;
        }
        cause = systemErrorText(error) + u'.' + Unchanged;
        return AppendStep::Failed;
    };
    QString journalCause;
    if (!writeJournal(dir, m_name, file.status, journalCause)) {
        cause = journalCause + u'.' + Unchanged;
        return AppendStep::Failed;
    }
    if (m_interruptAfter >= 0) {
        file.file.writeAll(bytes.constData(), qMin(m_interruptAfter, bytes.size()));
        cause = u"interrotto per prova"_s;
        return AppendStep::Failed;
    }
    if (!file.file.writeAll(bytes.constData(), bytes.size()) || !file.file.flush())
        return undo(lastFileError());
    if (file.created && !dir.flush())
        return undo(lastFileError());
    const bool stillTheArchive = dir.nameIs(m_name, file.file);
    if (!removeJournal(dir, m_name))
        return undo(lastFileError());
    if (!stillTheArchive)
        return AppendStep::Replaced;
    where.before = stateOf(file.status);
    FileStatus after;
    if (file.file.status(after))
        where.after = stateOf(after);
    return AppendStep::Written;
}

SlipArchive::RemoveResult SlipArchive::remove(qsizetype index, const SlipRecord& expected,
                                              QString& errorText) const
{
    return rewriteUnderLock(
        [&](const ArchiveTable& current) -> std::optional<Rewrite> {
            if (index < 0 || index >= current.size() || current[index] != expected)
                return std::nullopt;
            Rewrite change;
            change.skip = index;
            return change;
        },
        false, errorText);
}

SlipArchive::RemoveResult SlipArchive::restore(qsizetype index, const SlipRecord& record,
                                               const std::optional<SlipRecord>& before,
                                               const std::optional<SlipRecord>& after,
                                               QString& errorText) const
{
    return rewriteUnderLock(
        [&](const ArchiveTable& current) -> std::optional<Rewrite> {
            Rewrite change;
            change.inserted = &record;
            const qsizetype size = current.size();
            // The record nearest to where it stood (another copy may have changed the archive since).
            const auto near = [&](const SlipRecord& wanted, qsizetype from) -> std::optional<qsizetype> {
                from = qBound(qsizetype(0), from, size);
                for (qsizetype distance = 0; distance <= size; ++distance) {
                    for (const qsizetype at : {from - distance, from + distance}) {
                        if (at >= 0 && at < size && current[at] == wanted)
                            return at;
                    }
                }
                return std::nullopt;
            };
            if (!before)
                change.insertAt = 0;
            else if (const std::optional<qsizetype> at = near(*before, index - 1))
                change.insertAt = *at + 1;
            else if (const std::optional<qsizetype> next = after ? near(*after, index) : std::nullopt)
                change.insertAt = *next;
            else
                change.insertAt = qBound(qsizetype(0), index, size);
            return change;
        },
        true, errorText);
}

SlipArchive::RemoveResult
SlipArchive::rewriteUnderLock(const std::function<std::optional<Rewrite>(const ArchiveTable&)>& edit,
                              bool restoring, QString& errorText) const
{
    const QString prefix = u"Impossibile riscrivere l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directory, m_directoryHeld.get());
    if (!dir.handle.isOpen()) {
        errorText = prefix + dir.cause + u'.' + Unchanged;
        return RemoveResult::Failed;
    }
    const WriterLock lock(dir.handle, m_name + u".lock"_s, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? RemoveResult::Busy : RemoveResult::Failed;
    }
    QString recoveryCause;
    if (!recovered(dir.handle, m_name, m_path, recoveryCause)) {
        errorText = prefix + recoveryCause + u'.' + Unchanged;
        return RemoveResult::Failed;
    }

    DirectoryHandle::Opened file = dir.handle.openRegular(m_name, DirectoryHandle::Access::Read, false);
    if (file.missing)
        return RemoveResult::Moved;
    if (!file.file.isOpen()) {
        errorText = prefix + file.cause + u'.' + Unchanged;
        return RemoveResult::Failed;
    }
    QByteArray bytes;
    QString cause;
    if (!readArchiveFile(file, m_sizeLimit, m_path, bytes, cause)) {
        errorText = prefix + cause + u'.' + Unchanged;
        return RemoveResult::Failed;
    }
    const ArchiveTable current = readArchive(bytes);
    const std::optional<Rewrite> change = edit(current);
    if (!change)
        return RemoveResult::Moved;

    QString temporary;
    FileHandle out;
    if (!createTemporary(dir.handle, m_name, temporary, out, cause)) {
        errorText = prefix + cause + Unchanged;
        return RemoveResult::Failed;
    }
    const auto fail = [&](int cause) {
        out.close();
        dir.handle.remove(temporary);
        errorText = prefix + systemErrorText(cause) + u'.' + Unchanged;
        return RemoveResult::Failed;
    };

    if (!writeRewritten(out, current, *change))
        return fail(lastFileError());

    // The lock removed while it was held: another writer may be appending to the archive right now.
    if (!lock.stillHeld()) {
        out.close();
        dir.handle.remove(temporary);
        errorText = prefix + (restoring ? u"il file di blocco %1.lock è stato rimosso durante la scrittura, "
                                          u"quindi nulla è stato rimesso. Riprovare."_s
                                        : u"il file di blocco %1.lock è stato rimosso durante la "
                                          u"cancellazione, quindi nulla è stato cancellato. Riprovare."_s)
                                 .arg(m_path);
        return RemoveResult::Failed;
    }
    // Changed under us by a program that ignores the lock: deleting now would lose its change.
    FileStatus now;
    if (!dir.handle.statusOf(m_name, now) || now.identity != file.status.identity ||
        now.size != qint64(bytes.size())) {
        out.close();
        dir.handle.remove(temporary);
        return RemoveResult::Moved;
    }
    if (!dir.handle.replace(temporary, m_name, &file.file))
        return fail(lastFileError());
    if (!carryLateAppends(file.file, out, bytes.size())) {
        errorText = prefix + systemErrorText(lastFileError()) +
                    u".\nUn salvataggio fatto nello stesso momento potrebbe mancare."_s;
        return RemoveResult::Failed;
    }
    if (!dir.handle.flush()) {
        errorText = prefix + systemErrorText(lastFileError()) +
                    (restoring ? u".\nIl bollettino rimesso potrebbe non essere stato registrato sul disco."_s
                               : u".\nLa cancellazione potrebbe non essere stata registrata sul disco."_s);
        return RemoveResult::Failed;
    }
    return RemoveResult::Removed;
}

bool SlipArchive::writeRewritten(FileHandle& out, const ArchiveTable& current, const Rewrite& change)
{
    // Written in pieces of about a megabyte, so a long archive never doubles in memory.
    constexpr qsizetype Piece = 1 << 20;
    QByteArray buffer;
    buffer.reserve(Piece + 4096);
    for (qsizetype r = 0; r <= current.size(); ++r) {
        if (r == change.insertAt)
            encodeRewrittenRecord(*change.inserted, buffer);
        if (r == current.size() || r == change.skip)
            continue;
        encodeRewrittenRecord(current[r], buffer);
        if (buffer.size() >= Piece) {
            if (!out.writeAll(buffer.constData(), buffer.size()))
                return false;
            buffer.clear();
        }
    }
    return out.writeAll(buffer.constData(), buffer.size()) && out.flush();
}

bool SlipArchive::carryLateAppends(FileHandle& old, FileHandle& out, qint64 readSize)
{
    // A writer that took a lock file made anew in the instant between the last check and the rename
    // appended to the file just replaced: its bytes follow the records in the new archive. (Where the
    // system had to close the old file first, such a writer still held it open and the replace failed.)
    FileStatus status;
    if (!old.status(status) || status.size <= readSize)
        return true;
    QByteArray late;
    if (!readWholeFile(old, status.size, late) || late.size() <= readSize)
        return true;
    late.remove(0, readSize);
    return out.writeAll(late.constData(), late.size()) && out.flush();
}
