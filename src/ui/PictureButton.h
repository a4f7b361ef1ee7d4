// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLabel>

// A picture stretched to the button's size; a single click emits clicked(). Reached by Tab, it shows a
// focus frame and Space or Return press it; a screen reader finds a button, named by its accessible
// name, with the press action.
class PictureButton : public QLabel
{
    Q_OBJECT

public:
    PictureButton(const QString& picture, QWidget* parent);

    // What the accessible press action and a key do: as a click.
    void press();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
