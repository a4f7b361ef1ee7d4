// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/ArchiveSearch.h"
#include "ui/ArchiveCommands.h"
#include "ui/PrintCommand.h"
#include "ui/SheetCommands.h"

#include <QKeyCombination>
#include <QObject>
#include <QPointer>

#include <array>
#include <memory>
#include <span>

class QAction;
class QMenu;
class Form1;
class Form2;
class apertura;
struct Services;

// One run of the program: the slip form, the palette beside it, the about window while it is shown, and
// the commands. The windows know no command and the commands know no window: at a click the session
// reads the values the windows hold (SlipTexts, PaletteState, the selected list entry), hands them to a
// command and writes its result back. Every command is one row of commandTable(), from which its
// action, palette button, menu entries and key are made; a new command is one more row.
class Session : public QObject
{
    Q_OBJECT

public:
    // The commands, in the order of commandTable().
    enum class Command {
        Exit,
        Save,
        Minimise,
        Info,
        Print,
        Recall,
        Delete,
        Preview,
        PrintTo,
        SavePdf,
        UndoDelete,
        ImportSheet,
        ExportSheet,
        ImportArchive,
        Search,
        PrintFound,
        PdfFound,
        Count
    };
    // What runs before a command that reads the slip form.
    enum class Guard {
        None,
        // The rules of leaving the field being edited: a text they refuse stops the command.
        FieldRules,
        // Those, then the model: with neither chosen (only after a recall) nothing is printed.
        FieldRulesAndModel
    };
    // Where a command's key works.
    enum class KeyScope {
        Nowhere,
        // In the slip form and in the palette, whichever is active.
        BothWindows,
        // Only where the archive list has the focus (Canc in a field deletes a character).
        List
    };
    // No key: QKeyCombination() and Nowhere.
    struct CommandKey {
        QKeyCombination combination;
        KeyScope scope = KeyScope::Nowhere;
    };
    // A place in a right-click menu: entries of one group stand together, in their order, and a
    // separator stands between two groups. Group 0: not in that menu.
    struct MenuSpot {
        int group = 0;
        int order = 0;
    };
    // What follows the command, however it was started.
    enum class Then { Nothing, BackToSlip };
    struct CommandRow {
        Command command;
        const char* objectName;
        const char16_t* text;
        CommandKey key;
        int button; // the palette's Image2 index that runs it; -1 for none
        MenuSpot paletteMenu;
        MenuSpot listMenu;
        Guard guard;
        // What it does: a command of the session, or a print command on the slip the guard let through.
        void (Session::*run)();
        PrintCommand::Result (PrintCommand::*print)(const PrintableSlip&);
        Then then;
    };
    // Every command, in the order of Command.
    static std::span<const CommandRow> commandTable();

    // Builds the slip form, then the palette; neither is shown, no file is touched.
    explicit Session(Services& services);
    ~Session() override;

    // The start-up, in this order: the archive file and its list, the pair centred on the screen, the
    // palette shown, the slip form's load. The caller shows the slip form.
    void load();
    // The slips of an archive an earlier version left at one of paths, offered once (the answer kept
    // in answerFile); the list reloaded when they were brought in.
    void offerOldArchive(const QStringList& paths, const QString& answerFile);

    Form1& slip() { return *m_slip; }
    Form2& palette() { return *m_palette; }
    ArchiveCommands& archive() { return m_archive; }
    // The about window while it is shown.
    apertura* aboutWindow() const;

    // The action of a command: its button, its menu entries and its key all trigger this one.
    QAction* action(Command command) const;
    // The action of Image2(index).
    QAction* commandAction(int index) const;
    // The guard of the command's row, then the command.
    void run(Command command);

    void reloadArchiveList();
    void showAbout();
    // "Cerca" (Ctrl+F on the slip form and the palette): the search line above the list.
    void showSearch();

private:
    // The actions of the table's rows, on the windows and in the menus where each row says.
    void addCommandActions();
    void fillMenu(QMenu& menu, MenuSpot CommandRow::*spot);
    // Marks the fields whose printed text would run past its place on the chosen model.
    void markOverflowingFields();

    // The commands the rows run, each on the values the windows hold when it runs.
    void endApplication();
    void saveSlip();
    void minimiseSlip();
    void recallSelectedRecord();
    // The selected record deleted; the list read again.
    void deleteSelectedRecord();
    void undoDeletion();
    // Many slips at once (the palette's and the list's right-click menus).
    void importSheet();
    // The records the list shows: all of them, or those the search found.
    void exportSheet();
    void importArchive();
    // "Stampa i bollettini trovati…" and "Salva i trovati come PDF…": what the list shows, one page a
    // slip, as a sheet's slips are printed.
    void printFoundSlips();
    void saveFoundSlipsAsPdf();

    // Shows the records matching text, or all of them when it is blank.
    void applySearch(const QString& text);
    // Indices of the records the list shows.
    QList<qsizetype> shownRecords() const;
    // Those records as slips to print, in the list's order.
    QList<SheetSlip> shownSlips() const;

    static const CommandRow Commands[];

    Services& m_services;
    ArchiveCommands m_archive;
    PrintCommand m_print;
    SheetCommands m_sheets;
    // The search over the records of the last load, made at the first keystroke after that load.
    std::optional<ArchiveSearch> m_search;
    std::unique_ptr<Form1> m_slip;
    // Declared after the slip form, which it watches, so that it goes first.
    std::unique_ptr<Form2> m_palette;
    QPointer<apertura> m_about;
    std::array<QAction*, std::size_t(Command::Count)> m_actions{};
};
