// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRect>
#include <QWidget>

#include <functional>

class QLabel;

// The about window: title, picture, version, credit, contact, the rights notice (free software, GNU GPL 3
// or later) and the keys. Built anew for each "info"; a click on its background or picture, Escape,
// Return or Space close it and hand the screen back to the slip form and palette.
class apertura : public QWidget
{
    Q_OBJECT

public:
    explicit apertura(std::function<void()> onClosed);

    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr; // version

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool closesOnClick(const QPoint& position) const;

    std::function<void()> m_onClosed;
    QRect m_bar; // the dark bar under the rights line, in window coordinates
};
