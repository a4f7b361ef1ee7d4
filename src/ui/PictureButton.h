#pragma once

#include <QLabel>

// A picture stretched to the button's size; a single click emits clicked().
class PictureButton : public QLabel
{
    Q_OBJECT

public:
    PictureButton(const QString& picture, QWidget* parent);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
