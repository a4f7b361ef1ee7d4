// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"
#include "core/geometry/PaletteOutline.h"
#include "core/slip/SlipFields.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <functional>

#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class ArchiveList;
class QLocale;
class QRadioButton;
class Form1;
class PalettePlacement;
class PictureButton;

// The command palette beside the slip form: model choice, code-line option, archive list, command buttons.
// A frameless window that paints its own one-pixel border; its controls sit in a client area at (1, 1).
// It knows no command: a click on Image2(index) is announced by commandClicked(index), and the session
// that owns the commands reads the palette's values and writes results back. PalettePlacement keeps it
// beside the slip form.
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

    // Builds the controls, writes the version label and shapes the outline; touches no file.
    explicit Form2(Form1& slip);
    ~Form2() override;

    void PlacePalette();
    void ShapePaletteWindow();

    PaletteState paletteState() const;
    // Sets both options and the check box as a recall does; an option set this way runs its click reaction.
    void setPaletteState(const PaletteState& state);
    QImage euroMark() const;

    // The list entry chosen by the user; none when no entry is selected.
    std::optional<qsizetype> SelectedListIndex() const;
    // Empties the list (before the archive is read again).
    void clearArchiveList();
    // Lists the records, one entry each (made when shown), and shows their number.
    void showArchiveList(const ArchiveTable& table, const QLocale& locale);
    // The table shown grows by added records at its end, made by grow while the list holds no share of
    // it (so that it is not copied): the list gets their entries and keeps its scroll position, current
    // entry and selection.
    void showArchiveListGrown(qsizetype added, const std::function<const ArchiveTable&()>& grow);
    // Lists only the records at the given indices (in that order) out of total, while a search is
    // shown; the selected entry then stands for the record of its index.
    void showFilteredList(const QList<qsizetype>& shown, qsizetype total);

    // "Cerca": a line above the list, hidden until asked for, that filters the list as the user types.
    // Escape clears and hides it, and the whole list comes back.
    void showSearch();
    void hideSearch();
    bool searchShown() const;
    QString searchText() const;

    // Gives the activation back to the slip form, if it is on screen.
    void returnFocusToSlip();

    // The palette's controls in the order Tab visits them, those that can take the focus now: the two
    // options, the check box, the search line while shown, the list, the buttons left to right.
    QList<QWidget*> tabChain() const;

    // The design shapes of the outline, in client pixels: Shape1(0), Shape1(2), Shape1(3).
    static PaletteShapes designShapes();

    QWidget* client = nullptr;
    std::array<QRadioButton*, 2> Option1{};
    QCheckBox* Check1 = nullptr;
    QLabel* Picture1 = nullptr;
    ArchiveList* List1 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label1 = nullptr; // version label
    std::array<PictureButton*, 7> Image2{};
    // The right-click menu: commands beyond the buttons, added by the session in their order. The
    // palette looks the same without it; it opens only when it holds an entry.
    QMenu* PaletteMenu = nullptr;
    QLineEdit* SearchBox = nullptr; // "Cerca", hidden until asked for
    QMenu* ListMenu = nullptr;      // the list's right-click menu; filled by the session

Q_SIGNALS:
    // A click on Image2(index).
    void commandClicked(int index);
    // The search text changed (empty when the search was closed).
    void searchChanged(const QString& text);

protected:
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void buildControls();
    // Tab from the slip form's last field (forward) or Shift+Tab from its first.
    void takeFocusByTab(bool forward);
    // Down from the search line: into the list, on its first entry when none is current.
    void enterList();

    Form1& m_slip;
    QRect m_listGeometry; // the list's place without the search line
    PalettePlacement* m_placement = nullptr;
};
