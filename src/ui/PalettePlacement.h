#pragma once

#include <QObject>

class QWidget;
class QWindow;

// Keeps the palette (Form2) beside the slip form (Form1): places it when the palette is shown, again when the
// slip form is shown (once its frame is known) and when the user moves to the palette from the slip form;
// hides and shows it with the slip form's minimising.
class PalettePlacement : public QObject
{
    Q_OBJECT

public:
    PalettePlacement(QWidget& slip, QWidget& palette);

    // Right of the slip form's frame, PaletteGap away, and PaletteRise above its top.
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
};
