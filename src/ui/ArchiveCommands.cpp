#include "ui/ArchiveCommands.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/slip/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"

using namespace Qt::StringLiterals;

ArchiveCommands::ArchiveCommands(Services& services) : m_services(services)
{
}

void ArchiveCommands::EnsureArchiveFile()
{
    // Nothing is said here: a save into an archive that cannot be made explains why.
    SlipArchive(m_services.archivePath()).ensureExists();
}

QStringList ArchiveCommands::LoadArchiveList()
{
    QString error;
    if (!SlipArchive(m_services.archivePath()).load(m_table, &error))
        m_services.messages.critical(error);
    return listEntries(m_table, StoredDateReader(m_locale));
}

bool ArchiveCommands::SaveCurrentSlip(const SlipTexts& fields, const PaletteState& state)
{
    if (!m_services.messages.askYesNo(u"Vuoi salvare i dati Stampati ?"_s))
        return false;
    UnstorableCharacter problem;
    const std::optional<QByteArray> record =
        encodeSavedRecord(savedDateText(m_services.clock.today(), m_locale), fields, state, &problem);
    if (!record) {
        m_services.messages.critical(unstorableMessage(problem));
        return false;
    }
    QString error;
    if (!SlipArchive(m_services.archivePath()).append(*record, &error)) {
        m_services.messages.critical(error);
        return false;
    }
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
    const SlipArchive archive(m_services.archivePath());
    QString error;
    switch (archive.remove(row, m_table[row], &error)) {
    case SlipArchive::RemoveResult::Removed:
        return true;
    case SlipArchive::RemoveResult::Moved:
        m_services.messages.inform(
            u"L'archivio %1 è stato cambiato da un'altra copia del programma: la scheda scelta non è più al "
            u"suo posto e non è stata cancellata.\nL'elenco viene aggiornato: sceglierla di nuovo."_s.arg(
                archive.path()));
        return false;
    case SlipArchive::RemoveResult::Failed:
        m_services.messages.critical(error);
        return false;
    }
    return false;
}
