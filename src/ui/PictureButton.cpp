#include "ui/PictureButton.h"

#include <QMouseEvent>

PictureButton::PictureButton(const QString& picture, QWidget* parent) : QLabel(parent)
{
    setPixmap(QPixmap(picture));
    setScaledContents(true);
    setCursor(Qt::PointingHandCursor);
}

void PictureButton::mousePressEvent(QMouseEvent* event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        event->ignore();
        return;
    }
    event->accept();
    Q_EMIT clicked();
}
