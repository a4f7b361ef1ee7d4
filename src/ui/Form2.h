#pragma once

#include "core/geometry/PaletteOutline.h"
#include "core/slip/SlipFields.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <array>
#include <memory>

class QCheckBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QWindow;
class ArchiveCommands;
class Form1;
class PictureButton;
class PrintCommand;
class apertura;
struct Services;

// The command palette beside the slip form: model choice, code-line option, archive list, command buttons.
// A frameless window that paints its own one-pixel border; its controls sit in a client area at (1, 1).
class Form2 : public QWidget
{
    Q_OBJECT

public:
    // Image2 indexes.
    enum Button {
        ExitButton,
        SaveButton,
        MinimiseButton,
        InfoButton,
        PrintButton,
        RecallButton,
        DeleteButton
    };

    // The palette's load: version label, outline, archive start-up.
    Form2(Form1& slip, Services& services);
    ~Form2() override;

    Form1& slip() { return m_slip; }
    ArchiveCommands& archive() { return *m_archive; }
    PrintCommand& printing() { return *m_print; }

    void PlacePalette();
    void ShapePaletteWindow();
    // What a click on Image2(index) does.
    void runCommand(int index);

    PaletteState paletteState() const;
    // Sets both options and the check box as a recall does; an option set this way runs its click reaction.
    void setPaletteState(const PaletteState& state);
    QImage euroMark() const;

    // The about window while it is shown.
    apertura* aboutWindow() const;

    // The design shapes of the outline, in client pixels: Shape1(0), Shape1(2), Shape1(3).
    static PaletteShapes designShapes();

    QWidget* client = nullptr;
    std::array<QRadioButton*, 2> Option1{};
    QCheckBox* Check1 = nullptr;
    QLabel* Picture1 = nullptr;
    QListWidget* List1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr; // version label
    std::array<PictureButton*, 7> Image2{};

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildControls();
    void returnFocusToSlip();
    void showAbout();
    void focusWindowChanged(QWindow* window);

    Form1& m_slip;
    Services& m_services;
    std::unique_ptr<ArchiveCommands> m_archive;
    std::unique_ptr<PrintCommand> m_print;
    QPointer<apertura> m_about;
    QWindow* m_previousFocusWindow = nullptr;
};
