// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/ArchiveSearch.h"
#include "ui/ArchiveCommands.h"
#include "ui/PrintCommand.h"
#include "ui/SheetCommands.h"

#include <QObject>
#include <QPointer>

#include <array>

#include <memory>

class QAction;
class Form1;
class Form2;
class apertura;
struct Services;

// One run of the program: the slip form, the palette beside it, the about window while it is shown, and
// the commands. The windows know no command and the commands know no window: at a click the session
// reads the values the windows hold (SlipTexts, PaletteState, the selected list entry), hands them to a
// command and writes its result back. A new command is one more public member here, reached from a
// palette button in runCommand, or from a menu action or a shortcut that a window offers.
class Session : public QObject
{
    Q_OBJECT

public:
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

    // What a click on the palette's Image2(index) does.
    void runCommand(int index);
    // The action of Image2(index): its button, its menu entries and its shortcut run this one.
    QAction* commandAction(int index) const;

    // The commands, each on the values the windows hold when it runs.
    void saveSlip();
    void printSlip();
    // The palette's right-click menu, in this order (Ctrl+Shift+P and Ctrl+P on the slip form).
    void previewSlip();
    void printSlipOnChosenPrinter();
    void saveSlipAsPdf();
    void recallSelectedRecord();
    void deleteSelectedRecord();
    void undoDeletion();
    void reloadArchiveList();
    void showAbout();
    // Many slips at once (the palette's and the list's right-click menus).
    void importSheet();
    // The records the list shows: all of them, or those the search found.
    void exportSheet();
    void importArchive();
    // "Cerca" (Ctrl+F on the slip form and the palette): the search line above the list.
    void showSearch();

private:
    // The palette's seven commands as actions, with their shortcuts on both windows.
    void addCommandActions();
    // The print commands beyond the palette's buttons: menu entries and shortcuts on both windows.
    void addPrintMenu();
    // The commands of the buttons in the right-click menus, after the print entries.
    void addCommandMenus();
    // Marks the fields whose printed text would run past its place on the chosen model.
    void markOverflowingFields();

    // The spreadsheet and search entries of the right-click menus, after the print entries.
    void addSheetMenu();
    // Shows the records matching text, or all of them when it is blank.
    void applySearch(const QString& text);
    // Indices of the records the list shows.
    QList<qsizetype> shownRecords() const;
    // Those records as slips to print, in the list's order.
    QList<SheetSlip> shownSlips() const;
    // "Stampa i bollettini trovati…" and "Salva i trovati come PDF…": what the list shows, one page a
    // slip, as a sheet's slips are printed.
    void printFoundSlips();
    void saveFoundSlipsAsPdf();
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
    std::array<QAction*, 7> m_commands{};
    // "Annulla l'eliminazione": enabled while a deletion of this run can be undone.
    QAction* m_undoDeletion = nullptr;
};
