#pragma once

#include "ui/ArchiveCommands.h"
#include "ui/PrintCommand.h"

#include <QObject>
#include <QPointer>

#include <memory>

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

    Form1& slip() { return *m_slip; }
    Form2& palette() { return *m_palette; }
    ArchiveCommands& archive() { return m_archive; }
    // The about window while it is shown.
    apertura* aboutWindow() const;

    // What a click on the palette's Image2(index) does.
    void runCommand(int index);

    // The commands, each on the values the windows hold when it runs.
    void saveSlip();
    void printSlip();
    // The palette's right-click menu, in this order (Ctrl+Shift+P and Ctrl+P on the slip form).
    void previewSlip();
    void printSlipOnChosenPrinter();
    void saveSlipAsPdf();
    void recallSelectedRecord();
    void deleteSelectedRecord();
    void reloadArchiveList();
    void showAbout();

private:
    // The print commands beyond the palette's buttons: menu entries and the slip form's shortcuts.
    void addPrintMenu();
    // Marks the fields whose printed text would run past its place on the chosen model.
    void markOverflowingFields();

    Services& m_services;
    ArchiveCommands m_archive;
    PrintCommand m_print;
    std::unique_ptr<Form1> m_slip;
    // Declared after the slip form, which it watches, so that it goes first.
    std::unique_ptr<Form2> m_palette;
    QPointer<apertura> m_about;
};
