// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/ArchiveCommands.h"

#include "core/amount/AmountWords.h"
#include "core/archive/ArchiveCopies.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/slip/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

bool startThread(std::thread& thread, std::function<void()> work)
{
    try {
        thread = std::thread(std::move(work));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

namespace {

// Runs work on a thread of its own while the interface thread keeps painting but takes no input (no
// click can start another command meanwhile), and returns its result; nothing, the work not done,
// when no thread could be started.
template <typename Work>
auto offInterfaceThread(const ThreadStarter& start, Work work) -> std::optional<decltype(work())>
{
    using Result = decltype(work());
    Result result{};
    QEventLoop loop;
    std::thread worker;
    const bool started = start(worker, [&] {
        result = work();
        // By name, so that the queued call is made and run wholly inside Qt: a function object would
        // be made on this thread and read on the other, handed over by Qt's event queue, which a
        // ThreadSanitizer build cannot see (result itself is read after the join).
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    if (!started)
        return std::nullopt;
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result;
}

// Why an operation on the archive at path did nothing: it got no thread to run on.
QString noThreadText(const QString& path)
{
    return u"Impossibile lavorare sull'archivio %1: il sistema non permette al programma di avviare "
           u"un'altra attività (thread), forse per mancanza di memoria. L'archivio è rimasto com'era; "
           u"chiudere qualche programma e riprovare."_s.arg(path);
}

QString tryAgainQuestion(const QString& busy)
{
    return busy + u"\nRiprovare?"_s;
}

// Runs attempt (an archive write) off the interface thread, again as long as another copy holds the
// lock and the user, asked, wants to try again. Busy comes back only when the user gave up; a failure,
// with its text, when no thread could be started for the archive at path.
template <typename Attempt>
Failure retryingWhileBusy(MessageBoxes& messages, const ThreadStarter& start, const QString& path,
                          Attempt attempt)
{
    for (;;) {
        std::optional<Failure> outcome = offInterfaceThread(start, attempt);
        if (!outcome)
            return Failure::failed(noThreadText(path));
        if (outcome->kind() != Failure::Kind::Busy || !messages.askYesNo(tryAgainQuestion(outcome->text())))
            return std::move(*outcome);
    }
}

} // namespace

ArchiveCommands::ArchiveCommands(Services& services) : m_services(services)
{
}

ArchiveCommands::~ArchiveCommands()
{
    *m_alive = false;
    if (m_keeper.joinable())
        m_keeper.join();
}

const SlipArchive& ArchiveCommands::archive()
{
    const QString path = m_services.archivePath();
    if (!m_archive || m_archive->path() != path)
        m_archive = std::make_unique<SlipArchive>(path);
    m_archive->setLockTimeout(m_lockTimeout);
    return *m_archive;
}

void ArchiveCommands::EnsureArchiveFile()
{
    // Nothing is said here: the list load that follows reports a file that cannot be read.
    (void)archive().ensureExists();
}

void ArchiveCommands::LoadArchiveList()
{
    const SlipArchive& file = archive();
    struct Loaded {
        ArchiveTable table;
        SlipArchive::FileState seen;
        Failure failure;
    };
    // The last load's records go first, so that two loads are never held at once.
    m_table.clear();
    m_saved.reset();
    std::optional<Loaded> done = offInterfaceThread(m_startThread, [&file] {
        Loaded result;
        result.failure = file.load(result.table, result.seen);
        return result;
    });
    if (!done)
        done = Loaded{{}, {}, Failure::failed(noThreadText(file.path()))};
    Loaded& loaded = *done;
    m_table = std::move(loaded.table);
    m_seen = loaded.failure ? SlipArchive::FileState{} : loaded.seen;
    if (loaded.failure) {
        m_services.messages.critical(loaded.failure.text());
        return;
    }
    watchRecordCount();
}

void ArchiveCommands::watchRecordCount()
{
    const QString directory = m_services.copiesDirectory ? m_services.copiesDirectory() : QString();
    if (directory.isEmpty())
        return;
    const ArchiveCopies copies(directory, archive().path());
    const bool firstLoad = !m_watching;
    if (firstLoad) {
        m_watching = true;
        m_recordedCount = copies.lastCount();
        m_expectedCount = m_recordedCount;
    }
    const qsizetype now = m_table.size();
    const bool shrunk = m_expectedCount && now < *m_expectedCount;
    if (shrunk) {
        const QList<ArchiveCopy> kept = copies.copies();
        m_services.messages.inform(
            shrunkArchiveNotice(archive().path(), now, *m_expectedCount,
                                kept.isEmpty() ? std::nullopt : std::optional<ArchiveCopy>(kept.front())));
    }
    m_expectedCount = now;
    recordCount(now);
    // Copies of a shrunk archive would push the good ones out.
    if (firstLoad && !shrunk && !copies.hasCopyOf(m_services.clock.today()))
        keepTodaysCopy(directory);
}

void ArchiveCommands::recordCount(qsizetype count)
{
    const QString directory = m_services.copiesDirectory ? m_services.copiesDirectory() : QString();
    if (directory.isEmpty() || !m_watching || m_recordedCount == count)
        return;
    // A count that cannot be written only means no warning next time; the copy says why.
    if (!ArchiveCopies(directory, archive().path()).recordCount(count))
        m_recordedCount = count;
}

void ArchiveCommands::keepTodaysCopy(const QString& copiesDirectory)
{
    if (m_keeper.joinable())
        return;
    // Its own copy of the archive object: the thread may outlive a change of archive().
    const SlipArchive file = archive();
    const QDate today = m_services.clock.today();
    const std::shared_ptr<bool> alive = m_alive;
    MessageBoxes* messages = &m_services.messages;
    QObject* application = QCoreApplication::instance();
    // No thread to be had: no copy this time, as for a busy archive.
    m_startThread(m_keeper, [file, today, copiesDirectory, alive, messages, application] {
        QByteArray bytes;
        const Failure unread = file.snapshot(bytes);
        // Another copy is saving: the next start makes it.
        if (unread.kind() == Failure::Kind::Busy)
            return;
        const Failure unkept =
            unread ? Failure() : ArchiveCopies(copiesDirectory, file.path()).keepCopy(bytes, today);
        if ((!unread && !unkept) || !application)
            return;
        // The archive's own message is whole; the copy's cause is a clause.
        const QString notKept = u"Impossibile fare la copia di sicurezza dell'archivio di oggi"_s;
        const QString text =
            unread ? notKept + u".\n"_s + unread.text() : u"%1: %2."_s.arg(notKept, unkept.text());
        QMetaObject::invokeMethod(
            application,
            [alive, messages, text] {
                if (*alive)
                    messages->critical(text);
            },
            Qt::QueuedConnection);
    });
}

ArchiveCommands::SaveResult ArchiveCommands::SaveCurrentSlip(const SlipTexts& fields,
                                                             const PaletteState& state)
{
    // Words typed over that are not the amount's are kept as typed, once the user has seen them.
    if (AmountWordsDisagree(fields[Amount], fields[AmountWords]) &&
        !m_services.messages.askYesNoDefaultNo(u"%1: «%2».\nSalvare lo stesso?"_s.arg(
            AmountWordsDisagreement(fields[Amount]), fields[AmountWords].trimmed())))
        return SaveResult::NotSaved;
    if (!m_services.messages.askYesNo(u"Vuoi salvare i dati Stampati ?"_s))
        return SaveResult::NotSaved;
    QByteArray record;
    UnstorableCharacter problem;
    if (!encodeSavedRecord(savedDateText(m_services.clock.today(), m_locale), fields, state, record,
                           problem)) {
        m_services.messages.critical(unstorableMessage(problem));
        return SaveResult::NotSaved;
    }
    const SlipArchive& file = archive();
    SlipArchive::Appended where;
    if (const Failure failure = retryingWhileBusy(m_services.messages, m_startThread, file.path(),
                                                  [&] { return file.append(record, where); })) {
        // Busy: the user chose not to try again, and was told the reason already.
        if (failure.kind() != Failure::Kind::Busy)
            m_services.messages.critical(failure.text());
        return SaveResult::Failed;
    }
    if (m_expectedCount)
        ++*m_expectedCount;
    // The record went right after the records of the last load, with nothing in between: the file now
    // reads as those records and this one. Otherwise (another writer, a record cut short completed
    // first) only a new load tells what it holds.
    SaveResult saved = SaveResult::Saved;
    m_saved.reset();
    if (!where.padded && m_seen.size >= 0 && where.before == m_seen && where.after.size >= 0) {
        const ArchiveTable added = readArchive(record);
        if (added.size() == 1) {
            m_saved = added.front();
            m_seenWithSaved = where.after;
            saved = SaveResult::SavedAtEnd;
        }
    }
    m_seen = {};
    // Only now, with the record on the disk.
    m_services.messages.inform(u"Dati Salvati !!!"_s);
    return saved;
}

void ArchiveCommands::AddSavedRecord()
{
    if (!m_saved)
        return;
    m_table.append(*m_saved);
    m_saved.reset();
    m_seen = m_seenWithSaved;
    recordCount(m_table.size());
}

std::optional<SlipRecord> ArchiveCommands::RecallRecord(qsizetype row) const
{
    if (row < 0 || row >= m_table.size())
        return std::nullopt;
    return m_table[row];
}

bool ArchiveCommands::DeleteRecord(qsizetype row)
{
    if (row < 0 || row >= m_table.size())
        return false;
    // Entries can read alike: the second line says which slip goes, amount included.
    if (!m_services.messages.askYesNo(u"Vuoi procedere con la cancellazione ?\n"_s +
                                      deletedSlipLine(m_table[row], StoredDateReader(m_locale))))
        return false;
    const SlipArchive& file = archive();
    const SlipRecord expected = m_table[row];
    const Failure failure = retryingWhileBusy(m_services.messages, m_startThread, file.path(),
                                              [&] { return file.remove(row, expected); });
    switch (failure.kind()) {
    case Failure::Kind::None:
        if (m_expectedCount && *m_expectedCount > 0)
            --*m_expectedCount;
        m_deleted.push_back(
            {row, expected, row > 0 ? std::optional<SlipRecord>(m_table[row - 1]) : std::nullopt,
             row + 1 < m_table.size() ? std::optional<SlipRecord>(m_table[row + 1]) : std::nullopt});
        return true;
    case Failure::Kind::Moved:
        // Not an error: the list is loaded again and the user chooses again.
        m_services.messages.inform(failure.text());
        return false;
    case Failure::Kind::Busy:
        return false;
    case Failure::Kind::Failed:
    case Failure::Kind::Cancelled:
        break;
    }
    m_services.messages.critical(failure.text());
    return false;
}

bool ArchiveCommands::UndoDelete()
{
    if (m_deleted.empty())
        return false;
    const Deleted& last = m_deleted.back();
    const SlipArchive& file = archive();
    const Failure failure = retryingWhileBusy(m_services.messages, m_startThread, file.path(), [&] {
        return file.restore(last.index, last.record, last.before, last.after);
    });
    if (!failure) {
        if (m_expectedCount)
            ++*m_expectedCount;
        m_deleted.pop_back();
        return true;
    }
    // Moved: the archive has gone, and the record cannot be put back.
    if (failure.kind() != Failure::Kind::Busy)
        m_services.messages.critical(failure.text());
    return false;
}

namespace {

// A write of several slips, with the wait and the question above; true once written. A failure is told;
// a failure, or a wait given up, leaves the archive as it was.
template <typename Attempt>
bool writeWithRetries(MessageBoxes& messages, const ThreadStarter& start, const QString& path,
                      Attempt attempt)
{
    const Failure failure = retryingWhileBusy(messages, start, path, attempt);
    if (failure && failure.kind() != Failure::Kind::Busy)
        messages.critical(failure.text() + u'\n' + NoSlipAddedText());
    return !failure;
}

} // namespace

bool ArchiveCommands::AppendRecords(const QByteArray& records)
{
    const SlipArchive& file = archive();
    return writeWithRetries(m_services.messages, m_startThread, file.path(),
                            [&] { return file.append(records); });
}

std::optional<SlipArchive::MergeCounts> ArchiveCommands::MergeArchive(const ArchiveTable& incoming)
{
    const SlipArchive& file = archive();
    const StoredDateReader dates(m_locale);
    SlipArchive::MergeCounts counts;
    if (!writeWithRetries(m_services.messages, m_startThread, file.path(),
                          [&] { return file.merge(incoming, counts, &dates); }))
        return std::nullopt;
    return counts;
}
