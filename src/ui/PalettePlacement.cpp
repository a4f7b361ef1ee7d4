// SPDX-License-Identifier: GPL-3.0-or-later

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
    // The window's own frame geometry reads the frame extents the window manager has set; the widget's
    // copy is updated only by a later move and can miss the side borders.
    const QWindow* window = m_slip.windowHandle();
    const QRect slipFrame = window ? window->frameGeometry() : m_slip.frameGeometry();
    m_palette.move(slipFrame.left() + slipFrame.width() + twipsToPixels(PaletteGapTwips),
                   slipFrame.top() - twipsToPixels(PaletteRiseTwips));
}

bool PalettePlacement::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_slipWindow) {
        if (event->type() != QEvent::Expose)
            return false;
        // Only the step from hidden to shown: a minimised window stays exposed until the window manager
        // has taken it off the screen, and repaints expose it again.
        const bool becameExposed = m_slipWindow->isExposed() && !m_slipExposed;
        m_slipExposed = m_slipWindow->isExposed();
        if (!becameExposed)
            return false;
        // Restored by the window manager (from the task bar) after the palette's minimise button, the
        // slip form is on screen while Qt still holds it minimised: it is made normal, which brings the
        // palette back and clears the iconic hint a later show would otherwise follow.
        if (m_slip.isMinimized())
            m_slip.setWindowState(m_slip.windowState() & ~Qt::WindowMinimized);
        // A window manager maps the slip form only once it has framed it: its outer frame is known now.
        if (m_placeWhenExposed) {
            m_placeWhenExposed = false;
            if (m_palette.isVisible())
                place();
        }
        return false;
    }
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
        if (m_slip.windowHandle() != m_slipWindow) {
            if (m_slipWindow)
                m_slipWindow->removeEventFilter(this);
            m_slipWindow = m_slip.windowHandle();
            if (m_slipWindow)
                m_slipWindow->installEventFilter(this);
        }
        m_placeWhenExposed = true;
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
