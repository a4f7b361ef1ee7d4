// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

#include <functional>

class QLabel;

// The about window: title, picture, version, credit, contact and rights notice. Built anew for each "info";
// a click on its background or picture closes it and hands the screen back to the slip form and palette.
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
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool closesOnClick(const QPoint& position) const;

    std::function<void()> m_onClosed;
};
