#include "ui/PalettePlacement.h"

#include "core/geometry/Twips.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

PalettePlacement::PalettePlacement(QWidget& slip, QWidget& palette)
    : QObject(&palette), m_slip(slip), m_palette(palette)
{
    m_slip.installEventFilter(this);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, &PalettePlacement::focusWindowChanged);
}

void PalettePlacement::place()
{
    const QRect slipFrame = m_slip.frameGeometry();
    m_palette.move(slipFrame.left() + slipFrame.width() + twipsToPixels(PaletteGapTwips),
                   slipFrame.top() - twipsToPixels(PaletteRiseTwips));
}

bool PalettePlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_slip)
        return false;
    switch (event->type()) {
    case QEvent::WindowStateChange:
        // The palette disappears and reappears with the slip form.
        if (m_slip.isMinimized())
            m_palette.hide();
        else if (m_slip.isVisible())
            m_palette.show();
        break;
    case QEvent::Show:
        // The palette was placed before the slip form had a frame: place it again once the frame is known.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_palette.isVisible())
                    place();
            },
            Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return false;
}

void PalettePlacement::focusWindowChanged(QWindow* window)
{
    // Place the palette when the user moves to it from the slip form, not when coming back from another
    // program.
    if (window && window == m_palette.windowHandle() && m_previousFocusWindow)
        place();
    m_previousFocusWindow = window;
}
