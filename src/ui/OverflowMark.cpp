// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/OverflowMark.h"

#include "core/print/Overflow.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVariant>

namespace {

const char* const PlainToolTip = "cedolarioPlainToolTip";

// A frame drawn over the whole field, letting the mouse through to it.
class OverflowFrame final : public QWidget
{
public:
    explicit OverflowFrame(QLineEdit& field) : QWidget(&field)
    {
        setObjectName(QStringLiteral("OverflowMark"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(field.rect());
        field.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched == parentWidget())
            setGeometry(parentWidget()->rect());
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(OverflowMarkColour, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

OverflowFrame* frameOf(const QLineEdit& field)
{
    return field.findChild<OverflowFrame*>(QStringLiteral("OverflowMark"), Qt::FindDirectChildrenOnly);
}

} // namespace

void MarkOverflow(QLineEdit& field, const QString& toolTip)
{
    OverflowFrame* frame = frameOf(field);
    if (toolTip.isEmpty()) {
        if (frame && !frame->isHidden()) {
            frame->hide();
            field.setToolTip(field.property(PlainToolTip).toString());
        }
        return;
    }
    if (!frame) {
        frame = new OverflowFrame(field);
        frame->hide();
    }
    if (frame->isHidden()) {
        field.setProperty(PlainToolTip, field.toolTip());
        frame->show();
        frame->raise();
    }
    field.setToolTip(toolTip);
}

bool IsMarkedAsOverflowing(const QLineEdit& field)
{
    const OverflowFrame* frame = frameOf(field);
    return frame && !frame->isHidden();
}
