#include "ui/ArchiveCommands.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/slip/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QListWidget>

using namespace Qt::StringLiterals;

ArchiveCommands::ArchiveCommands(Form1& slip, Form2& palette, Services& services)
    : m_slip(slip), m_palette(palette), m_services(services)
{
}

QString ArchiveCommands::archivePath() const
{
    return m_services.archivePath ? m_services.archivePath() : QString();
}

void ArchiveCommands::EnsureArchiveFile()
{
    // Nothing is said here: a save into an archive that cannot be made explains why.
    SlipArchive(archivePath()).ensureExists();
}

void ArchiveCommands::LoadArchiveList()
{
    m_palette.List1->clear();
    QString error;
    if (!SlipArchive(archivePath()).load(m_table, &error))
        m_services.messages->critical(error);
    // Every entry is one line in one font: with uniform sizes the list lays out a long archive at once
    // (a million entries in about 0.1 s instead of 5 s).
    m_palette.List1->setUniformItemSizes(true);
    m_palette.List1->addItems(listEntries(m_table, StoredDateReader(m_locale)));
    m_palette.Label4->setText(u"Record: "_s + QString::number(m_table.size()));
    m_palette.Label4->adjustSize();
}

void ArchiveCommands::SaveCurrentSlip()
{
    if (!m_services.messages->askYesNo(u"Vuoi salvare i dati Stampati ?"_s))
        return;
    const QDate today = m_services.clock ? m_services.clock->today() : QDate::currentDate();
    UnstorableCharacter problem;
    const std::optional<QByteArray> record = encodeSavedRecord(
        savedDateText(today, m_locale), m_slip.fields(), m_palette.paletteState(), &problem);
    if (!record) {
        m_services.messages->critical(unstorableMessage(problem));
        return;
    }
    QString error;
    if (!SlipArchive(archivePath()).append(*record, &error)) {
        m_services.messages->critical(error);
        return;
    }
    m_services.messages->inform(u"Dati Salvati !!!"_s);
}

void ArchiveCommands::RecallSelectedRecord()
{
    const QString selected = SelectedListIndex();
    if (selected.isEmpty())
        return;
    const qsizetype r = selected.toLongLong();
    if (r >= m_table.size())
        return;
    // Written as stored: the input rules do not run, so amount and words come back as saved.
    m_slip.setFields(slipTextsOf(m_table[r]));
    m_palette.setPaletteState(paletteStateOf(m_table[r]));
}

void ArchiveCommands::DeleteSelectedRecord()
{
    const QString selected = SelectedListIndex();
    if (selected.isEmpty())
        return;
    if (!m_services.messages->askYesNo(u"Vuoi procedere con la cancellazione ?"_s))
        return;
    const qsizetype t = selected.toLongLong();
    if (t >= m_table.size())
        return;
    const SlipArchive archive(archivePath());
    QString error;
    switch (archive.remove(t, m_table[t], &error)) {
    case SlipArchive::RemoveResult::Removed:
        break;
    case SlipArchive::RemoveResult::Moved:
        m_services.messages->inform(
            u"L'archivio %1 è stato cambiato da un'altra copia del programma: la scheda scelta non è più al "
            u"suo "
            u"posto e non è stata cancellata.\nL'elenco viene aggiornato: sceglierla di nuovo."_s.arg(
                archive.path()));
        break;
    case SlipArchive::RemoveResult::Failed:
        m_services.messages->critical(error);
        break;
    }
}

QString ArchiveCommands::SelectedListIndex() const
{
    const QListWidget* list = m_palette.List1;
    if (list->count() == 0)
        return {};
    int first = -1;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes()) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first < 0 ? QString() : QString::number(first);
}
