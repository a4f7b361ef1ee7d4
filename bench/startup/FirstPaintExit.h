// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>

class QWidget;

// Ends the process as soon as the first top-level window has painted (or, once watch() has named one,
// that window), so a launch can be timed up to the moment the user sees it. Installed on the
// application; exits with 0 then, or with 3 when nothing has painted within a minute.
class FirstPaintExit final : public QObject
{
public:
    explicit FirstPaintExit(QObject* parent = nullptr);

    void watch(QWidget* window) { m_window = window; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window = nullptr;
    bool m_painted = false;
};
