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

// Opens the archive's directory into handle and checks that it is still the one found at construction.
// The failure's text is a clause.
Failure openDirectory(const QString& directory, const DirectoryHandle* held, DirectoryHandle& handle)
{
    if (!handle.open(directory)) {
        const int cause = lastFileError();
        if (isFileError(cause, FileErrorKind::Missing))
            return Failure::failed(u"la cartella %1 non esiste più"_s.arg(directory));
        return Failure::failed(
            u"la cartella %1 non si può aprire (%2)"_s.arg(directory, systemErrorText(cause)));
    }
    FileStatus status;
    FileStatus original;
    if (!handle.status(status)) {
        handle = {};
        return Failure::failed(systemErrorText(lastFileError()));
    }
    if (held && (!held->status(original) || original.identity != status.identity)) {
        handle = {};
        return Failure::failed(u"la cartella %1 è stata rimossa e sostituita da un'altra mentre il programma "
                               u"era aperto"_s.arg(directory));
    }
    return {};
}

SlipArchive::FileState stateOf(const FileStatus& status)
{
    return {status.identity, status.size};
}

const QString Unchanged = u"\nL'archivio è rimasto com'era."_s;

// The temporary file of a rewrite: its usual name, cleared first (only a crashed deletion leaves it,
// and the name alone goes, never what a link there points to), else a random one. Made exclusively,
// so nothing planted there is ever opened. The failure's text is a clause.
Failure createTemporary(const DirectoryHandle& dir, const QString& name, QString& temporary, FileHandle& out)
{
    temporary = name + u".nuovo"_s;
    dir.remove(temporary);
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (attempt > 0)
            temporary = name + u".nuovo-"_s + randomSuffix();
        if (dir.createNew(temporary, DirectoryHandle::Access::WriteAppend, out))
            return {};
        if (!isFileError(lastFileError(), FileErrorKind::Exists))
            return Failure::failed(
                u"il file temporaneo non si può creare (%1)"_s.arg(systemErrorText(lastFileError())));
    }
    return Failure::failed(systemErrorText(fileErrorNumber(FileErrorKind::Exists)));
}

} // namespace

QString NoSlipAddedText()
{
    return u"Nessun bollettino è stato aggiunto all'archivio."_s;
}

SlipArchive::SlipArchive(QString path) : m_path(std::move(path))
{
    const qsizetype slash = m_path.lastIndexOf(u'/');
    m_directory = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : m_path.left(slash));
    m_name = m_path.mid(slash + 1);
    auto held = std::make_shared<DirectoryHandle>();
    if (held->open(m_directory))
        m_directoryHeld = std::move(held);
}

Failure SlipArchive::ensureExists() const
{
    const QString prefix = u"Impossibile creare l'archivio %1: "_s.arg(m_path);
    DirectoryHandle dir;
    if (const Failure failure = openDirectory(m_directory, m_directoryHeld.get(), dir))
        return Failure::failed(prefix + failure.text() + u'.');
    DirectoryHandle::Opened file = dir.openRegular(m_name, DirectoryHandle::Access::Read, true);
    if (!file.file.isOpen())
        return Failure::failed(prefix + file.cause + u'.');
    if (file.created && (!file.file.flush() || !dir.flush()))
        return Failure::failed(prefix + systemErrorText(lastFileError()) + u'.');
    return {};
}

Failure SlipArchive::load(ArchiveTable& table) const
{
    FileState seen;
    return load(table, seen);
}

namespace {

// The message of a failure to read the archive at path, cause its clause.
Failure notRead(const QString& path, const QString& cause)
{
    return Failure::failed(u"Impossibile leggere l'archivio %1: %2."_s.arg(path, cause));
}

} // namespace

Failure SlipArchive::openForReading(DirectoryHandle::Opened& opened) const
{
    DirectoryHandle dir;
    if (const Failure failure = openDirectory(m_directory, m_directoryHeld.get(), dir))
        return notRead(m_path, failure.text());
    // A journal left by a writer that was killed: its append is undone before anything is read. A
    // journal whose writer is still at work goes with it within the wait; one refused, or a lock that
    // cannot be had, leaves the file as it is for the next writer to report.
    if (journalPresent(dir, m_name)) {
        const WriterLock lock(dir, m_name + u".lock"_s, m_lockTimeout);
        if (lock.outcome() == WriterLock::Locked)
            (void)recoverJournal(dir, m_name, m_path);
    }
    opened = dir.openRegular(m_name, DirectoryHandle::Access::Read, false);
    if (!opened.missing && !opened.file.isOpen())
        return notRead(m_path, opened.cause);
    return {};
}

Failure SlipArchive::load(ArchiveTable& table, FileState& seen) const
{
    table.clear();
    seen = {};
    DirectoryHandle::Opened file;
    if (Failure failure = openForReading(file))
        return failure;
    if (file.missing)
        return {};
    if (const Failure failure = readArchiveTable(file, m_sizeLimit, m_path, table))
        return notRead(m_path, failure.text());
    FileStatus after;
    if (file.file.status(after) && after.size == file.status.size && after.modified == file.status.modified)
        seen = stateOf(file.status);
    return {};
}

Failure SlipArchive::forEachRecord(const std::function<void(const SlipRecord&)>& visit) const
{
    // The journal of a killed append is undone before the file is opened, as for load(): the stream then
    // reads the very bytes load() would, and nothing of the journal needs applying to what it hands over.
    DirectoryHandle::Opened file;
    if (Failure failure = openForReading(file))
        return failure;
    if (file.missing)
        return {};
    // The same limit as load(), though nothing here grows with the file: an archive that cannot be listed
    // is not compared with either, so the two never disagree about what the archive holds.
    if (const Failure refusal = tooLarge(file.status.size, m_sizeLimit, m_path))
        return notRead(m_path, refusal.text());
    // The bytes there when the file was opened, as load() reads: an append under way meanwhile is the
    // next reader's. A file cut short meanwhile ends where it was cut.
    ArchivePieceReader records(visit);
    const qint64 size = file.status.size;
    for (qint64 offset = 0; offset < size;) {
        const qsizetype wanted = qsizetype(qMin<qint64>(m_readPiece, size - offset));
        char* const room = records.room(wanted);
        qsizetype got = 0;
        if (!file.file.readAt(offset, room, wanted, got))
            return notRead(m_path, systemErrorText(lastFileError()));
        records.added(got);
        if (got == 0)
            break;
        offset += got;
    }
    records.finish();
    return {};
}

Failure SlipArchive::snapshot(QByteArray& bytes) const
{
    bytes.clear();
    DirectoryHandle dir;
    if (const Failure failure = openDirectory(m_directory, m_directoryHeld.get(), dir))
        return notRead(m_path, failure.text());
    const WriterLock lock(dir, m_name + u".lock"_s, m_lockTimeout);
    if (Failure failure = lock.failure(m_path))
        return failure;
    if (const Failure failure = recoverJournal(dir, m_name, m_path))
        return notRead(m_path, failure.text());
    const DirectoryHandle::Opened file = dir.openRegular(m_name, DirectoryHandle::Access::Read, false);
    if (file.missing)
        return {};
    if (!file.file.isOpen())
        return notRead(m_path, file.cause);
    if (const Failure failure = readArchiveFile(file, m_sizeLimit, m_path, bytes)) {
        bytes.clear();
        return notRead(m_path, failure.text());
    }
    return {};
}

Failure SlipArchive::append(QByteArrayView recordBytes) const
{
    Appended where;
    return append(recordBytes, where);
}

Failure SlipArchive::append(QByteArrayView recordBytes, Appended& where) const
{
    return appendUnderLock(
        false, [recordBytes](const QByteArray&) { return recordBytes.toByteArray(); }, where);
}

Failure SlipArchive::appendAll(const QList<QByteArray>& records) const
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
        where);
}

Failure SlipArchive::merge(const ArchiveTable& incoming, MergeCounts& counts,
                           const StoredDateReader* dates) const
{
    counts = {};
    MergeCounts found;
    Appended where;
    if (Failure failure = appendUnderLock(
            true,
            [&](const QByteArray& existing) {
                MergePlan plan = planMerge(readArchive(existing), incoming, dates);
                found.added = plan.added;
                found.alreadyPresent = plan.alreadyPresent;
                found.repeatedInFile = plan.repeatedInFile;
                return std::move(plan.bytes);
            },
            where))
        return failure;
    counts = found;
    counts.skipped = found.alreadyPresent + found.repeatedInFile;
    return {};
}

Failure SlipArchive::underWriterLock(
    const std::function<Failure(const QString& cause)>& unchanged,
    const std::function<Failure(const DirectoryHandle&, const WriterLock&)>& work) const
{
    DirectoryHandle dir;
    if (const Failure failure = openDirectory(m_directory, m_directoryHeld.get(), dir))
        return unchanged(failure.text());
    const WriterLock lock(dir, m_name + u".lock"_s, m_lockTimeout);
    if (Failure failure = lock.failure(m_path))
        return failure;
    if (const Failure failure = recoverJournal(dir, m_name, m_path))
        return unchanged(failure.text());
    return work(dir, lock);
}

Failure SlipArchive::appendUnderLock(bool wholeFile,
                                     const std::function<QByteArray(const QByteArray& existing)>& recordsFor,
                                     Appended& where) const
{
    where = {};
    const QString prefix = u"Impossibile scrivere nell'archivio %1: "_s.arg(m_path);
    // Nothing was written: the cause, then what is left.
    const auto unchanged = [&](const QString& cause) {
        return Failure::failed(prefix + cause + u'.' + Unchanged);
    };
    return underWriterLock(unchanged, [&](const DirectoryHandle& dir, const WriterLock&) -> Failure {
        // The archive may be replaced under us only by a writer that ignored a lock removed by someone:
        // then what was appended went to a file that is no longer the archive, and it is appended again.
        for (int attempt = 0; attempt < 3; ++attempt) {
            DirectoryHandle::Opened file = dir.openRegular(m_name, DirectoryHandle::Access::ReadWrite, true);
            if (!file.file.isOpen())
                return unchanged(file.cause);
            if (file.status.links > 1)
                return unchanged(u"il file ha più di un nome (collegamento fisico) e non viene scritto"_s);
            QByteArray existing;
            // An archive too large to list is not made larger: its user is told to move it first.
            if (const Failure refusal = tooLarge(file.status.size, m_sizeLimit, m_path))
                return unchanged(refusal.text());
            if (wholeFile) {
                if (const Failure failure = readArchiveFile(file, m_sizeLimit, m_path, existing))
                    return unchanged(failure.text());
            }
            const QByteArray records = recordsFor(existing);
            if (records.isEmpty())
                return {};
            // A record cut short by the end of the file is completed with empty lines, so that the new one
            // starts a record of its own instead of filling the cut one's values.
            QByteArray bytes;
            if (wholeFile)
                bytes = separatorBeforeNewRecord(existing);
            else if (!separatorAtEnd(file.file, file.status.size, bytes))
                return unchanged(systemErrorText(lastFileError()));
            where.padded = !bytes.isEmpty();
            bytes.append(records);
            bool replaced = false;
            if (const Failure failure = appendToFile(dir, file, bytes, where, replaced))
                return Failure::failed(prefix + failure.text());
            if (!replaced)
                return {};
        }
        return Failure::failed(prefix +
                               u"il file è stato sostituito più volte durante il salvataggio. Riprovare."_s);
    });
}

Failure SlipArchive::appendToFile(const DirectoryHandle& dir, DirectoryHandle::Opened& file,
                                  const QByteArray& bytes, Appended& where, bool& replaced) const
{
    replaced = false;
    const qint64 before = file.status.size;
    const auto undo = [&](int error) {
        if (file.created) {
            file.file.close();
            dir.remove(m_name);
            removeJournal(dir, m_name);
        } else if (!file.file.truncate(before) || !file.file.flush() || !removeJournal(dir, m_name)) {
            // The journal stays: whoever opens the archive next undoes the append.
            return Failure::failed(
                systemErrorText(error) +
                u".\nIl salvataggio incompleto sarà annullato alla prossima apertura dell'archivio."_s);
        }
        return Failure::failed(systemErrorText(error) + u'.' + Unchanged);
    };
    if (const Failure failure = writeJournal(dir, m_name, file.status))
        return Failure::failed(failure.text() + u'.' + Unchanged);
    if (m_interruptAfter >= 0) {
        file.file.writeAll(bytes.constData(), qMin(m_interruptAfter, bytes.size()));
        return Failure::failed(u"interrotto per prova"_s);
    }
    if (!file.file.writeAll(bytes.constData(), bytes.size()) || !file.file.flush())
        return undo(lastFileError());
    if (file.created && !dir.flush())
        return undo(lastFileError());
    const bool stillTheArchive = dir.nameIs(m_name, file.file);
    if (!removeJournal(dir, m_name))
        return undo(lastFileError());
    if (!stillTheArchive) {
        replaced = true;
        return {};
    }
    where.before = stateOf(file.status);
    FileStatus after;
    if (file.file.status(after))
        where.after = stateOf(after);
    return {};
}

Failure SlipArchive::remove(qsizetype index, const SlipRecord& expected) const
{
    return rewriteUnderLock(
        [&](const ArchiveTable& current) -> std::optional<Rewrite> {
            if (index < 0 || index >= current.size() || current[index] != expected)
                return std::nullopt;
            Rewrite change;
            change.skip = index;
            return change;
        },
        false);
}

Failure SlipArchive::restore(qsizetype index, const SlipRecord& record,
                             const std::optional<SlipRecord>& before,
                             const std::optional<SlipRecord>& after) const
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
        true);
}

Failure SlipArchive::rewriteUnderLock(const std::function<std::optional<Rewrite>(const ArchiveTable&)>& edit,
                                      bool restoring) const
{
    const QString prefix = u"Impossibile riscrivere l'archivio %1: "_s.arg(m_path);
    // Nothing was written: the cause, then what is left.
    const auto unchanged = [&](const QString& cause) {
        return Failure::failed(prefix + cause + u'.' + Unchanged);
    };
    // The record is not where the list showed it, or, for a restore, the archive has gone.
    const auto moved = [&] {
        return Failure::moved(
            restoring
                ? u"L'archivio %1 non c'è più: il bollettino eliminato non può essere rimesso."_s.arg(m_path)
                : u"L'archivio %1 è stato cambiato da un'altra copia del programma: la scheda scelta non "
                  u"è più al suo posto e non è stata cancellata.\nL'elenco viene aggiornato: sceglierla di "
                  u"nuovo."_s.arg(m_path));
    };
    return underWriterLock(unchanged, [&](const DirectoryHandle& dir, const WriterLock& lock) -> Failure {
        DirectoryHandle::Opened file = dir.openRegular(m_name, DirectoryHandle::Access::Read, false);
        if (file.missing)
            return moved();
        if (!file.file.isOpen())
            return unchanged(file.cause);
        QByteArray bytes;
        if (const Failure failure = readArchiveFile(file, m_sizeLimit, m_path, bytes))
            return unchanged(failure.text());
        const ArchiveTable current = readArchive(bytes);
        const std::optional<Rewrite> change = edit(current);
        if (!change)
            return moved();

        QString temporary;
        FileHandle out;
        if (const Failure failure = createTemporary(dir, m_name, temporary, out))
            return unchanged(failure.text());
        const auto fail = [&](int cause) {
            out.close();
            dir.remove(temporary);
            return unchanged(systemErrorText(cause));
        };

        if (!writeRewritten(out, current, *change))
            return fail(lastFileError());

        // The lock removed while it was held: another writer may be appending to the archive right now.
        if (!lock.stillHeld()) {
            out.close();
            dir.remove(temporary);
            return Failure::failed(
                prefix + (restoring ? u"il file di blocco %1.lock è stato rimosso durante la scrittura, "
                                      u"quindi nulla è stato rimesso. Riprovare."_s
                                    : u"il file di blocco %1.lock è stato rimosso durante la "
                                      u"cancellazione, quindi nulla è stato cancellato. Riprovare."_s)
                             .arg(m_path));
        }
        // Changed under us by a program that ignores the lock: deleting now would lose its change.
        FileStatus now;
        if (!dir.statusOf(m_name, now) || now.identity != file.status.identity ||
            now.size != qint64(bytes.size())) {
            out.close();
            dir.remove(temporary);
            return moved();
        }
        if (!dir.replace(temporary, m_name, &file.file))
            return fail(lastFileError());
        if (!carryLateAppends(file.file, out, bytes.size()))
            return Failure::failed(prefix + systemErrorText(lastFileError()) +
                                   u".\nUn salvataggio fatto nello stesso momento potrebbe mancare."_s);
        if (!dir.flush())
            return Failure::failed(
                prefix + systemErrorText(lastFileError()) +
                (restoring ? u".\nIl bollettino rimesso potrebbe non essere stato registrato sul disco."_s
                           : u".\nLa cancellazione potrebbe non essere stata registrata sul disco."_s));
        return {};
    });
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
