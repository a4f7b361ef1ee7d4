// SPDX-License-Identifier: GPL-3.0-or-later

#include "FirstPaintExit.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {
constexpr int NoPaintTimeoutMs = 60'000;
constexpr int NoPaintExitCode = 3;
} // namespace

FirstPaintExit::FirstPaintExit(QObject* parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
    QTimer::singleShot(NoPaintTimeoutMs, this, [] { std::_Exit(NoPaintExitCode); });
}

bool FirstPaintExit::eventFilter(QObject* watched, QEvent* event)
{
    if (m_painted || event->type() != QEvent::Paint || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (m_window ? widget == m_window : widget->isWindow()) {
        m_painted = true;
        // Queued: the window and its children finish painting and are flushed to the screen first.
        // Exiting without tearing down keeps shutdown out of the start-up time.
        QTimer::singleShot(0, this, [] { std::_Exit(0); });
    }
    return false;
}
