// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/HeadingBand.h"

#include <QPainter>

void HeadingBand::paintEvent(QPaintEvent* event)
{
    const QString content = text();
    const qsizetype lastSpace = content.lastIndexOf(QLatin1Char(' '));
    if (fontMetrics().horizontalAdvance(content) <= width() || lastSpace < 0) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect area = contentsRect().adjusted(0, 0, -4, 0);
    QString head = content.left(lastSpace);
    while (head.endsWith(QLatin1Char(' ')))
        head.chop(1);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, head);
    painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter, content.mid(lastSpace + 1));
}
