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

#include <numeric>

Session::Session(Services& services)
    : m_services(services), m_archive(services), m_print(services), m_sheets(services),
      m_slip(std::make_unique<Form1>(services)), m_palette(std::make_unique<Form2>(*m_slip))
{
    // One archive object for every command that writes the archive.
    m_sheets.setArchiveCommands(m_archive);
    addCommandActions();
    connect(m_palette.get(), &Form2::commandClicked, this,
            [this](int index) { m_commands.at(static_cast<std::size_t>(index))->trigger(); });
    addPrintMenu();
    addCommandMenus();
    addSheetMenu();
    connect(m_palette.get(), &Form2::searchChanged, this, &Session::applySearch);
    for (QLineEdit* field : m_slip->Text1)
        connect(field, &QLineEdit::textChanged, this, &Session::markOverflowingFields);
    for (QRadioButton* option : m_palette->Option1)
        connect(option, &QRadioButton::toggled, this, &Session::markOverflowingFields);
    connect(m_palette->Check1, &QCheckBox::stateChanged, this, &Session::markOverflowingFields);
}

void Session::addCommandActions()
{
    struct Command {
        int index;
        const char* name;
        const char16_t* text;
        QKeySequence shortcut;
    };
    // Ctrl+P is "Stampa su…", as on every desktop; "stampa" itself, with no dialog, is Ctrl+Alt+P.
    const Command commands[] = {
        {Form2::ExitButton, "exitAction", u"Esci", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {Form2::SaveButton, "saveAction", u"Salva", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {Form2::MinimiseButton, "minimiseAction", u"Riduci a icona", QKeySequence()},
        {Form2::InfoButton, "infoAction", u"Informazioni", QKeySequence(Qt::Key_F1)},
        {Form2::PrintButton, "printAction", u"Stampa", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P)},
        {Form2::RecallButton, "recallAction", u"Apri", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {Form2::DeleteButton, "deleteAction", u"Elimina", QKeySequence(Qt::Key_Delete)},
    };
    for (const Command& command : commands) {
        auto* action = new QAction(QString::fromUtf16(command.text), m_palette.get());
        action->setObjectName(QString::fromLatin1(command.name));
        action->setShortcut(command.shortcut);
        const int index = command.index;
        connect(action, &QAction::triggered, this, [this, index] { runCommand(index); });
        if (index == Form2::DeleteButton) {
            // Canc deletes a record only where the list has the focus: in a text field it deletes a
            // character.
            action->setShortcutContext(Qt::WidgetShortcut);
            m_palette->List1->addAction(action);
        } else if (!command.shortcut.isEmpty()) {
            action->setShortcutContext(Qt::WindowShortcut);
            m_slip->addAction(action);
            m_palette->addAction(action);
        }
        m_commands[static_cast<std::size_t>(index)] = action;
    }
}

QAction* Session::commandAction(int index) const
{
    return m_commands.at(static_cast<std::size_t>(index));
}

void Session::addCommandMenus()
{
    QMenu& palette = *m_palette->PaletteMenu;
    palette.addSeparator();
    for (int index : {Form2::PrintButton, Form2::SaveButton, Form2::RecallButton, Form2::DeleteButton})
        palette.addAction(commandAction(index));
    QMenu& list = *m_palette->ListMenu;
    list.addAction(commandAction(Form2::RecallButton));
    list.addAction(commandAction(Form2::DeleteButton));

    // Ctrl+Z in a field that has typing to undo undoes the typing (SlipLineEdit lets it through only
    // when there is none).
    m_undoDeletion = new QAction(QStringLiteral("Annulla l'eliminazione"), m_palette.get());
    m_undoDeletion->setObjectName(QStringLiteral("undoDeleteAction"));
    m_undoDeletion->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_undoDeletion->setShortcutContext(Qt::WindowShortcut);
    m_undoDeletion->setEnabled(false);
    connect(m_undoDeletion, &QAction::triggered, this, &Session::undoDeletion);
    m_slip->addAction(m_undoDeletion);
    m_palette->addAction(m_undoDeletion);
    palette.addAction(m_undoDeletion);
    list.addAction(m_undoDeletion);
    list.addSeparator();
}

void Session::undoDeletion()
{
    if (m_archive.UndoDelete())
        reloadArchiveList();
    m_undoDeletion->setEnabled(m_archive.CanUndoDelete());
}

void Session::addPrintMenu()
{
    const auto add = [this](const QString& name, const QString& text, const QKeySequence& shortcut,
                            void (Session::*command)()) {
        QAction* action = m_palette->PaletteMenu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, command);
        if (!shortcut.isEmpty()) {
            action->setShortcut(shortcut);
            action->setShortcutContext(Qt::WindowShortcut);
            // Both windows hold it, so its shortcut works in whichever is active.
            m_slip->addAction(action);
            m_palette->addAction(action);
        }
    };
    add(QStringLiteral("previewAction"), QStringLiteral("Anteprima di stampa"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), &Session::previewSlip);
    add(QStringLiteral("printToAction"), QStringLiteral("Stampa su\u2026"),
        QKeySequence(Qt::CTRL | Qt::Key_P), &Session::printSlipOnChosenPrinter);
    add(QStringLiteral("savePdfAction"), QStringLiteral("Salva come PDF\u2026"), QKeySequence(),
        &Session::saveSlipAsPdf);
}

void Session::markOverflowingFields()
{
    const PaletteState state = m_palette->paletteState();
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    const std::vector<Overflow> found = m_print.overflows(m_slip->fields(), state);
    const SlipTexts fields = m_slip->fields();
    for (int field = 0; field < SlipFieldCount; ++field) {
        QString toolTip = model ? OverflowToolTip(*model, found, static_cast<SlipField>(field)) : QString();
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

void Session::runCommand(int index)
{
    switch (index) {
    case Form2::ExitButton:
        m_services.endApplication();
        return;
    case Form2::SaveButton:
        saveSlip();
        break;
    case Form2::MinimiseButton:
        m_slip->showMinimized();
        break;
    case Form2::InfoButton:
        showAbout();
        break;
    case Form2::PrintButton:
        printSlip();
        break;
    case Form2::RecallButton:
        recallSelectedRecord();
        break;
    case Form2::DeleteButton:
        deleteSelectedRecord();
        reloadArchiveList();
        m_undoDeletion->setEnabled(m_archive.CanUndoDelete());
        break;
    default:
        return;
    }
    m_palette->returnFocusToSlip();
}

void Session::saveSlip()
{
    if (!m_slip->commitEditing())
        return;
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

void Session::printSlip()
{
    if (!m_slip->commitEditing())
        return;
    m_print.run(m_slip->fields(), m_palette->paletteState(), m_palette->euroMark());
}

void Session::previewSlip()
{
    if (!m_slip->commitEditing())
        return;
    m_print.preview(m_slip->fields(), m_palette->paletteState(), m_palette->euroMark());
}

void Session::printSlipOnChosenPrinter()
{
    if (!m_slip->commitEditing())
        return;
    m_print.runOnChosenPrinter(m_slip->fields(), m_palette->paletteState(), m_palette->euroMark());
}

void Session::saveSlipAsPdf()
{
    if (!m_slip->commitEditing())
        return;
    m_print.saveAsPdf(m_slip->fields(), m_palette->paletteState(), m_palette->euroMark());
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
    if (!row)
        return;
    m_archive.DeleteRecord(*row);
}

void Session::reloadArchiveList()
{
    m_palette->clearArchiveList();
    m_archive.LoadArchiveList();
    m_search.reset();
    m_palette->showArchiveList(m_archive.table(), m_archive.locale());
    applySearch(m_palette->searchText());
}

void Session::addSheetMenu()
{
    const auto action = [this](const char* name, const QString& text, void (Session::*command)()) {
        auto* created = new QAction(text, m_palette.get());
        created->setObjectName(QString::fromLatin1(name));
        connect(created, &QAction::triggered, this, command);
        return created;
    };
    QAction* importSheet = action("importSheetAction", QStringLiteral("Importa da foglio di calcolo\u2026"),
                                  &Session::importSheet);
    QAction* exportSheet = action("exportSheetAction", QStringLiteral("Esporta in foglio di calcolo\u2026"),
                                  &Session::exportSheet);
    QAction* importArchive =
        action("importArchiveAction", QStringLiteral("Importa archivio\u2026"), &Session::importArchive);
    QAction* search = action("searchAction", QStringLiteral("Cerca"), &Session::showSearch);
    search->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    search->setShortcutContext(Qt::WindowShortcut);
    // Both windows hold it, so Ctrl+F works in either.
    m_slip->addAction(search);
    m_palette->addAction(search);

    QMenu& palette = *m_palette->PaletteMenu;
    palette.addSeparator();
    palette.addAction(importSheet);
    palette.addAction(exportSheet);
    palette.addAction(importArchive);
    palette.addSeparator();
    palette.addAction(search);
    palette.addSeparator();
    for (int index : {Form2::InfoButton, Form2::MinimiseButton, Form2::ExitButton})
        palette.addAction(commandAction(index));

    QAction* printFound = action("printFoundAction", QStringLiteral("Stampa i bollettini trovati\u2026"),
                                 &Session::printFoundSlips);
    QAction* pdfFound = action("pdfFoundAction", QStringLiteral("Salva i trovati come PDF\u2026"),
                               &Session::saveFoundSlipsAsPdf);

    QMenu& list = *m_palette->ListMenu;
    list.addAction(search);
    list.addAction(printFound);
    list.addAction(pdfFound);
    list.addSeparator();
    list.addAction(exportSheet);
    list.addAction(importSheet);
    list.addAction(importArchive);
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
