// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Session.h"

#include "core/amount/AmountWords.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"
#include "ui/ArchiveList.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/OverflowMark.h"
#include "ui/apertura.h"

#include "core/archive/ArchiveDates.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QWindow>

#include <algorithm>
#include <numeric>

namespace {

using Command = Session::Command;
using Guard = Session::Guard;
using Then = Session::Then;

constexpr Session::CommandKey windowsKey(QKeyCombination combination)
{
    return {combination, Session::KeyScope::BothWindows};
}

constexpr Session::CommandKey listKey(QKeyCombination combination)
{
    return {combination, Session::KeyScope::List};
}

constexpr Session::CommandKey NoKey{};

constexpr Session::MenuSpot menu(int group, int order)
{
    return {group, order};
}

constexpr Session::MenuSpot NoMenu{};

constexpr int NoButton = -1;

} // namespace

// Ctrl+P is "Stampa su…", as on every desktop; "stampa" itself, with no dialog, is Ctrl+Alt+P.
// The palette's menu: the print entries, the buttons' commands, the spreadsheets, the search, the
// window. The list's: its buttons' commands, what the search found, the spreadsheets.
constexpr Session::CommandRow Session::Commands[] = {
    {Command::Exit, "exitAction", u"Esci", windowsKey(Qt::CTRL | Qt::Key_Q), Form2::ExitButton, menu(5, 3),
     NoMenu, Guard::None, &Session::endApplication, nullptr, Then::Nothing},
    {Command::Save, "saveAction", u"Salva", windowsKey(Qt::CTRL | Qt::Key_S), Form2::SaveButton, menu(2, 2),
     NoMenu, Guard::FieldRules, &Session::saveSlip, nullptr, Then::BackToSlip},
    {Command::Minimise, "minimiseAction", u"Riduci a icona", NoKey, Form2::MinimiseButton, menu(5, 2), NoMenu,
     Guard::None, &Session::minimiseSlip, nullptr, Then::BackToSlip},
    {Command::Info, "infoAction", u"Informazioni", windowsKey(Qt::Key_F1), Form2::InfoButton, menu(5, 1),
     NoMenu, Guard::None, &Session::showAbout, nullptr, Then::BackToSlip},
    {Command::Print, "printAction", u"Stampa", windowsKey(Qt::CTRL | Qt::ALT | Qt::Key_P), Form2::PrintButton,
     menu(2, 1), NoMenu, Guard::FieldRulesAndModel, nullptr, &PrintCommand::run, Then::BackToSlip},
    {Command::Recall, "recallAction", u"Apri", windowsKey(Qt::CTRL | Qt::Key_O), Form2::RecallButton,
     menu(2, 3), menu(1, 1), Guard::None, &Session::recallSelectedRecord, nullptr, Then::BackToSlip},
    // Canc deletes a record only where the list has the focus: in a text field it deletes a character.
    {Command::Delete, "deleteAction", u"Elimina", listKey(Qt::Key_Delete), Form2::DeleteButton, menu(2, 4),
     menu(1, 2), Guard::None, &Session::deleteSelectedRecord, nullptr, Then::BackToSlip},
    {Command::Preview, "previewAction", u"Anteprima di stampa", windowsKey(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
     NoButton, menu(1, 1), NoMenu, Guard::FieldRulesAndModel, nullptr, &PrintCommand::preview, Then::Nothing},
    {Command::PrintTo, "printToAction", u"Stampa su\u2026", windowsKey(Qt::CTRL | Qt::Key_P), NoButton,
     menu(1, 2), NoMenu, Guard::FieldRulesAndModel, nullptr, &PrintCommand::runOnChosenPrinter,
     Then::Nothing},
    {Command::SavePdf, "savePdfAction", u"Salva come PDF\u2026", NoKey, NoButton, menu(1, 3), NoMenu,
     Guard::FieldRulesAndModel, nullptr, &PrintCommand::saveAsPdf, Then::Nothing},
    // Ctrl+Z in a field that has typing to undo undoes the typing (SlipLineEdit lets it through only
    // when there is none).
    {Command::UndoDelete, "undoDeleteAction", u"Annulla l'eliminazione", windowsKey(Qt::CTRL | Qt::Key_Z),
     NoButton, menu(2, 5), menu(1, 3), Guard::None, &Session::undoDeletion, nullptr, Then::Nothing},
    {Command::ImportSheet, "importSheetAction", u"Importa da foglio di calcolo\u2026", NoKey, NoButton,
     menu(3, 1), menu(3, 2), Guard::None, &Session::importSheet, nullptr, Then::Nothing},
    {Command::ExportSheet, "exportSheetAction", u"Esporta in foglio di calcolo\u2026", NoKey, NoButton,
     menu(3, 2), menu(3, 1), Guard::None, &Session::exportSheet, nullptr, Then::Nothing},
    {Command::ImportArchive, "importArchiveAction", u"Importa archivio\u2026", NoKey, NoButton, menu(3, 3),
     menu(3, 3), Guard::None, &Session::importArchive, nullptr, Then::Nothing},
    {Command::Search, "searchAction", u"Cerca", windowsKey(Qt::CTRL | Qt::Key_F), NoButton, menu(4, 1),
     menu(2, 1), Guard::None, &Session::showSearch, nullptr, Then::Nothing},
    {Command::PrintFound, "printFoundAction", u"Stampa i bollettini trovati\u2026", NoKey, NoButton, NoMenu,
     menu(2, 2), Guard::None, &Session::printFoundSlips, nullptr, Then::Nothing},
    {Command::PdfFound, "pdfFoundAction", u"Salva i trovati come PDF\u2026", NoKey, NoButton, NoMenu,
     menu(2, 3), Guard::None, &Session::saveFoundSlipsAsPdf, nullptr, Then::Nothing},
};

std::span<const Session::CommandRow> Session::commandTable()
{
    // CommandKeysTest checks each row: in its command's place, running one thing, with a key where it
    // has one and a guard that gives the print commands a slip. (A check at compile time would compare
    // pointers to members, which GCC does not take for constant under the sanitizers.)
    return Commands;
}

Session::Session(Services& services)
    : m_services(services), m_archive(services), m_print(services), m_sheets(services),
      m_slip(std::make_unique<Form1>(services)), m_palette(std::make_unique<Form2>(*m_slip))
{
    // One archive object for every command that writes the archive.
    m_sheets.setArchiveCommands(m_archive);
    addCommandActions();
    connect(m_palette.get(), &Form2::commandClicked, this,
            [this](int index) { commandAction(index)->trigger(); });
    connect(m_palette.get(), &Form2::searchChanged, this, &Session::applySearch);
    for (QLineEdit* field : m_slip->Text1)
        connect(field, &QLineEdit::textChanged, this, &Session::markOverflowingFields);
    for (QRadioButton* option : m_palette->Option1)
        connect(option, &QRadioButton::toggled, this, &Session::markOverflowingFields);
    connect(m_palette->Check1, &QCheckBox::stateChanged, this, &Session::markOverflowingFields);
}

void Session::addCommandActions()
{
    for (const CommandRow& row : Commands) {
        auto* action = new QAction(QString::fromUtf16(row.text), m_palette.get());
        action->setObjectName(QString::fromLatin1(row.objectName));
        const Session::Command command = row.command;
        connect(action, &QAction::triggered, this, [this, command] { run(command); });
        switch (row.key.scope) {
        case KeyScope::Nowhere:
            break;
        case KeyScope::BothWindows:
            action->setShortcut(QKeySequence(row.key.combination));
            action->setShortcutContext(Qt::WindowShortcut);
            // Both windows hold it, so its key works in whichever is active.
            m_slip->addAction(action);
            m_palette->addAction(action);
            break;
        case KeyScope::List:
            action->setShortcut(QKeySequence(row.key.combination));
            action->setShortcutContext(Qt::WidgetShortcut);
            m_palette->List1->addAction(action);
            break;
        }
        m_actions[std::size_t(command)] = action;
    }
    // Enabled while a deletion of this run can be undone.
    action(Command::UndoDelete)->setEnabled(false);
    fillMenu(*m_palette->PaletteMenu, &CommandRow::paletteMenu);
    fillMenu(*m_palette->ListMenu, &CommandRow::listMenu);
}

void Session::fillMenu(QMenu& menu, MenuSpot CommandRow::*spot)
{
    std::vector<const CommandRow*> entries;
    for (const CommandRow& row : Commands) {
        if ((row.*spot).group > 0)
            entries.push_back(&row);
    }
    std::ranges::sort(entries, {}, [spot](const CommandRow* row) {
        return std::pair((row->*spot).group, (row->*spot).order);
    });
    int group = 0;
    for (const CommandRow* row : entries) {
        if (group != 0 && (row->*spot).group != group)
            menu.addSeparator();
        group = (row->*spot).group;
        menu.addAction(action(row->command));
    }
}

QAction* Session::action(Command command) const
{
    return m_actions.at(std::size_t(command));
}

QAction* Session::commandAction(int index) const
{
    for (const CommandRow& row : Commands) {
        if (row.button == index)
            return action(row.command);
    }
    return nullptr;
}

void Session::run(Command command)
{
    const CommandRow& row = Commands[std::size_t(command)];
    // The one guard: the slip form's pending rules first, so that the command reads what the rules
    // leave; a refused text has been told and stops the command.
    if (row.guard == Guard::None || m_slip->commitEditing()) {
        if (row.run) {
            (this->*row.run)();
        } else if (const std::optional<PrintableSlip> slip =
                       printableSlip(m_slip->fields(), m_palette->paletteState(), m_palette->euroMark())) {
            (m_print.*row.print)(*slip);
        }
    }
    if (row.then == Then::BackToSlip)
        m_palette->returnFocusToSlip();
}

void Session::endApplication()
{
    m_services.endApplication();
}

void Session::minimiseSlip()
{
    m_slip->showMinimized();
}

void Session::undoDeletion()
{
    if (m_archive.UndoDelete())
        reloadArchiveList();
    action(Command::UndoDelete)->setEnabled(m_archive.CanUndoDelete());
}

void Session::markOverflowingFields()
{
    const SlipTexts fields = m_slip->fields();
    const std::optional<PrintableSlip> slip = printableSlip(fields, m_palette->paletteState(), QImage());
    const std::vector<Overflow> found = slip ? m_print.overflows(*slip) : std::vector<Overflow>();
    for (int field = 0; field < SlipFieldCount; ++field) {
        QString toolTip =
            slip ? OverflowToolTip(slip->model, found, static_cast<SlipField>(field)) : QString();
        // Words typed over that are not the amount's: the same red frame, with why.
        if (field == AmountWords && AmountWordsDisagree(fields[Amount], fields[AmountWords])) {
            const QString why = AmountWordsDisagreement(fields[Amount]);
            toolTip = toolTip.isEmpty() ? why : toolTip + u'\n' + why;
        }
        MarkOverflow(*m_slip->Text1.at(static_cast<std::size_t>(field)), toolTip);
    }
}

Session::~Session()
{
    delete m_about.data();
}

void Session::load()
{
    m_archive.EnsureArchiveFile();
    reloadArchiveList();
    m_slip->PlacePair(m_palette->frameGeometry().width());
    m_palette->show();
    m_slip->load();
}

apertura* Session::aboutWindow() const
{
    return m_about.data();
}

void Session::saveSlip()
{
    switch (m_archive.SaveCurrentSlip(m_slip->fields(), m_palette->paletteState())) {
    case ArchiveCommands::SaveResult::NotSaved:
        return;
    case ArchiveCommands::SaveResult::SavedAtEnd:
        // One entry more at the end; a search shown is made again over the grown archive.
        m_search.reset();
        m_palette->showArchiveListGrown(1, [this]() -> const ArchiveTable& {
            m_archive.AddSavedRecord();
            return m_archive.table();
        });
        applySearch(m_palette->searchText());
        return;
    case ArchiveCommands::SaveResult::Failed:
    case ArchiveCommands::SaveResult::Saved:
        reloadArchiveList();
        return;
    }
}

void Session::recallSelectedRecord()
{
    const std::optional<qsizetype> row = m_palette->SelectedListIndex();
    if (!row)
        return;
    const std::optional<SlipRecord> record = m_archive.RecallRecord(*row);
    if (!record)
        return;
    // Written as stored: the input rules do not run, so amount and words come back as saved; the previews
    // follow the fields.
    m_slip->setFields(slipTextsOf(*record));
    m_slip->refreshPreviews();
    m_palette->setPaletteState(paletteStateOf(*record));
}

void Session::deleteSelectedRecord()
{
    const std::optional<qsizetype> row = m_palette->SelectedListIndex();
    if (row)
        m_archive.DeleteRecord(*row);
    reloadArchiveList();
    action(Command::UndoDelete)->setEnabled(m_archive.CanUndoDelete());
}

void Session::reloadArchiveList()
{
    m_palette->clearArchiveList();
    m_archive.LoadArchiveList();
    m_search.reset();
    m_palette->showArchiveList(m_archive.table(), m_archive.locale());
    applySearch(m_palette->searchText());
}

void Session::applySearch(const QString& text)
{
    if (text.trimmed().isEmpty()) {
        if (m_palette->List1->filtered())
            m_palette->showArchiveList(m_archive.table(), m_archive.locale());
        return;
    }
    if (!m_search)
        m_search.emplace(m_archive.table(), StoredDateReader(m_archive.locale()));
    m_palette->showFilteredList(m_search->matching(text), m_archive.table().size());
}

QList<qsizetype> Session::shownRecords() const
{
    const QString text = m_palette->searchText();
    if (!text.trimmed().isEmpty() && m_search)
        return m_search->matching(text);
    QList<qsizetype> all(m_archive.table().size());
    std::iota(all.begin(), all.end(), qsizetype(0));
    return all;
}

QList<SheetSlip> Session::shownSlips() const
{
    QList<SheetSlip> slips;
    const QList<qsizetype> shown = shownRecords();
    slips.reserve(shown.size());
    int position = 0;
    for (qsizetype index : shown) {
        const SlipRecord& record = m_archive.table().at(index);
        // Told by their place in the list, as a sheet's slips are by their row.
        slips.append(SheetSlip{++position, slipTextsOf(record), paletteStateOf(record), std::nullopt});
    }
    return slips;
}

void Session::printFoundSlips()
{
    const QList<SheetSlip> slips = shownSlips();
    if (slips.isEmpty()) {
        m_services.messages.inform(
            QStringLiteral("L'elenco non mostra nessun bollettino: nulla da stampare."));
        return;
    }
    m_sheets.printSlips(slips);
}

void Session::saveFoundSlipsAsPdf()
{
    const QList<SheetSlip> slips = shownSlips();
    if (slips.isEmpty()) {
        m_services.messages.inform(
            QStringLiteral("L'elenco non mostra nessun bollettino: nulla da salvare."));
        return;
    }
    m_sheets.saveSlipsAsPdf(slips);
}

void Session::importSheet()
{
    if (m_sheets.importSheet(m_slip->fields()) == SheetCommands::Result::Done)
        reloadArchiveList();
}

void Session::exportSheet()
{
    QList<SlipRecord> records;
    for (qsizetype index : shownRecords())
        records.append(m_archive.table().at(index));
    m_sheets.exportSheet(records);
}

void Session::offerOldArchive(const QStringList& paths, const QString& answerFile)
{
    if (m_sheets.offerOldArchive(paths, answerFile) == SheetCommands::Result::Done)
        reloadArchiveList();
}

void Session::importArchive()
{
    if (m_sheets.importArchive() == SheetCommands::Result::Done)
        reloadArchiveList();
}

void Session::showSearch()
{
    m_palette->showSearch();
}

void Session::showAbout()
{
    m_slip->hide();
    m_palette->hide();
    delete m_about.data();
    m_about = new apertura([this] {
        // Minimised once and restored from the task bar, the slip form can carry the iconic start-up hint
        // of its minimising into the next show, and come back iconic. The hint follows every state the
        // window is given: a passing state while it is hidden leaves it normal, without showing it.
        m_slip->setWindowState(m_slip->windowState() & ~Qt::WindowMinimized);
        if (QWindow* window = m_slip->windowHandle()) {
            window->setWindowStates(Qt::WindowFullScreen);
            window->setWindowStates(Qt::WindowNoState);
        }
        m_slip->show();
        m_palette->show();
        m_palette->returnFocusToSlip();
    });
    m_about->show();
    // The keys that close it (Escape, Return, Space) reach it at once.
    m_about->activateWindow();
}
