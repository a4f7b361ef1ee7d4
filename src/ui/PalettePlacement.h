// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QWidget;
class QWindow;

// Keeps the palette (Form2) beside the slip form (Form1): places it when the palette is shown, again when the
// slip form is shown and once more when the window manager has framed it (its outer frame is known only
// then), and when the user moves to the palette from the slip form; hides and shows it with the slip
// form's minimising.
class PalettePlacement : public QObject
{
    Q_OBJECT

public:
    PalettePlacement(QWidget& slip, QWidget& palette);

    // Right of the slip form's outer frame (the window manager's borders included), PaletteGap away, and
    // PaletteRise above its top.
    void place();

    static constexpr int PaletteGapTwips = 300;
    static constexpr int PaletteRiseTwips = 150;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusWindowChanged(QWindow* window);

    QWidget& m_slip;
    QWidget& m_palette;
    QWindow* m_previousFocusWindow = nullptr;
    // The slip form's window, watched for its first exposure after each show.
    QWindow* m_slipWindow = nullptr;
    bool m_placeWhenExposed = false;
    bool m_slipExposed = false;
};
