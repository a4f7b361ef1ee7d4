#include "ui/ArchiveCommands.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/slip/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"

#include <QEventLoop>
#include <QMetaObject>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Runs work on a thread of its own while the interface thread keeps painting but takes no input (no
// click can start another command meanwhile), and returns its result.
template <typename Work> auto offInterfaceThread(Work work) -> decltype(work())
{
    using Result = decltype(work());
    Result result{};
    QEventLoop loop;
    std::thread worker([&] {
        result = work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result;
}

QString tryAgainQuestion(const QString& busy)
{
    return busy + u"\nRiprovare?"_s;
}

} // namespace

ArchiveCommands::ArchiveCommands(Services& services) : m_services(services)
{
}

ArchiveCommands::~ArchiveCommands() = default;

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
    QString ignored;
    archive().ensureExists(ignored);
}

void ArchiveCommands::LoadArchiveList()
{
    const SlipArchive& file = archive();
    struct Loaded {
        ArchiveTable table;
        QString error;
        bool ok = false;
    };
    Loaded loaded = offInterfaceThread([&file] {
        Loaded result;
        result.ok = file.load(result.table, result.error);
        return result;
    });
    m_table = std::move(loaded.table);
    if (!loaded.ok)
        m_services.messages.critical(loaded.error);
}

bool ArchiveCommands::SaveCurrentSlip(const SlipTexts& fields, const PaletteState& state)
{
    if (!m_services.messages.askYesNo(u"Vuoi salvare i dati Stampati ?"_s))
        return false;
    QByteArray record;
    UnstorableCharacter problem;
    if (!encodeSavedRecord(savedDateText(m_services.clock.today(), m_locale), fields, state, record,
                           problem)) {
        m_services.messages.critical(unstorableMessage(problem));
        return false;
    }
    const SlipArchive& file = archive();
    for (;;) {
        struct Outcome {
            SlipArchive::WriteResult result = SlipArchive::WriteResult::Failed;
            QString error;
        };
        const Outcome outcome = offInterfaceThread([&] {
            Outcome attempt;
            attempt.result = file.append(record, attempt.error);
            return attempt;
        });
        if (outcome.result == SlipArchive::WriteResult::Written)
            break;
        if (outcome.result == SlipArchive::WriteResult::Busy) {
            if (m_services.messages.askYesNo(tryAgainQuestion(outcome.error)))
                continue;
            return false;
        }
        m_services.messages.critical(outcome.error);
        return false;
    }
    // Only now, with the record on the disk.
    m_services.messages.inform(u"Dati Salvati !!!"_s);
    return true;
}

std::optional<SlipRecord> ArchiveCommands::RecallRecord(qsizetype row) const
{
    if (row < 0 || row >= m_table.size())
        return std::nullopt;
    return m_table[row];
}

bool ArchiveCommands::DeleteRecord(qsizetype row)
{
    if (!m_services.messages.askYesNo(u"Vuoi procedere con la cancellazione ?"_s))
        return false;
    if (row < 0 || row >= m_table.size())
        return false;
    const SlipArchive& file = archive();
    const SlipRecord expected = m_table[row];
    for (;;) {
        struct Outcome {
            SlipArchive::RemoveResult result = SlipArchive::RemoveResult::Failed;
            QString error;
        };
        const Outcome outcome = offInterfaceThread([&] {
            Outcome attempt;
            attempt.result = file.remove(row, expected, attempt.error);
            return attempt;
        });
        switch (outcome.result) {
        case SlipArchive::RemoveResult::Removed:
            return true;
        case SlipArchive::RemoveResult::Moved:
            m_services.messages.inform(
                u"L'archivio %1 è stato cambiato da un'altra copia del programma: la scheda scelta non è più "
                u"al suo posto e non è stata cancellata.\nL'elenco viene aggiornato: sceglierla di nuovo."_s
                    .arg(file.path()));
            return false;
        case SlipArchive::RemoveResult::Busy:
            if (m_services.messages.askYesNo(tryAgainQuestion(outcome.error)))
                continue;
            return false;
        case SlipArchive::RemoveResult::Failed:
            m_services.messages.critical(outcome.error);
            return false;
        }
    }
}
