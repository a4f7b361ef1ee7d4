// SPDX-License-Identifier: GPL-3.0-or-later

#include "RecordingSurface.h"

#include <QImage>

namespace {

QString number(float value)
{
    return QString::number(value, 'f', 2);
}

} // namespace

RecordingSurface::RecordingSurface(PrintSurface* measurer) : m_measurer(measurer)
{
}

void RecordingSurface::PageSetUp()
{
    calls.push_back(stamped(Operation::PageSetUp));
    if (m_measurer)
        m_measurer->PageSetUp();
}

void RecordingSurface::setFontSize(float points)
{
    m_size = points;
    if (m_measurer)
        m_measurer->setFontSize(points);
}

void RecordingSurface::setBold(bool bold)
{
    m_bold = bold;
    if (m_measurer)
        m_measurer->setBold(bold);
}

void RecordingSurface::setTextColour(TextColour colour)
{
    m_colour = colour;
}

void RecordingSurface::setLineStyle(LineStyle style)
{
    m_style = style;
}

void RecordingSurface::PrintAt(float x, float y, const QString& text)
{
    Call call = stamped(Operation::PrintAt);
    call.x1 = x;
    call.y1 = y;
    call.text = text;
    calls.push_back(call);
}

double RecordingSurface::TextWidth(const QString& text)
{
    if (m_measurer)
        return m_measurer->TextWidth(text);
    return characterWidth * static_cast<double>(text.size());
}

void RecordingSurface::DrawLine(float x1, float y1, float x2, float y2)
{
    Call call = stamped(Operation::DrawLine);
    call.x1 = x1, call.y1 = y1, call.x2 = x2, call.y2 = y2;
    calls.push_back(call);
}

void RecordingSurface::DrawFilledBox(float x1, float y1, float x2, float y2)
{
    Call call = stamped(Operation::DrawFilledBox);
    call.x1 = x1, call.y1 = y1, call.x2 = x2, call.y2 = y2;
    calls.push_back(call);
}

void RecordingSurface::DrawPicture(const QImage& picture, float x, float y, float width, float height)
{
    Call call = stamped(Operation::DrawPicture);
    call.x1 = x, call.y1 = y, call.x2 = width, call.y2 = height;
    call.pictureSize = picture.size();
    calls.push_back(call);
}

bool RecordingSurface::EndDocument()
{
    calls.push_back(stamped(Operation::EndDocument));
    return endResult;
}

QString RecordingSurface::describe(const Call& call)
{
    switch (call.operation) {
    case Operation::PageSetUp:
        return QStringLiteral("PageSetUp");
    case Operation::EndDocument:
        return QStringLiteral("EndDocument");
    case Operation::PrintAt:
        return QStringLiteral("PrintAt %1 %2 %3 %4 %5 |%6|")
            .arg(number(call.x1), number(call.y1), QString::number(call.size),
                 call.bold ? QStringLiteral("bold") : QStringLiteral("regular"),
                 call.colour == TextColour::White ? QStringLiteral("white") : QStringLiteral("black"),
                 call.text);
    case Operation::DrawLine:
        return QStringLiteral("DrawLine %1 %2 %3 %4 %5")
            .arg(number(call.x1), number(call.y1), number(call.x2), number(call.y2),
                 call.style == LineStyle::Dashed ? QStringLiteral("dashed") : QStringLiteral("solid"));
    case Operation::DrawFilledBox:
        return QStringLiteral("DrawFilledBox %1 %2 %3 %4")
            .arg(number(call.x1), number(call.y1), number(call.x2), number(call.y2));
    case Operation::DrawPicture:
        return QStringLiteral("DrawPicture %1 %2 %3 %4 %5x%6")
            .arg(number(call.x1), number(call.y1), number(call.x2), number(call.y2))
            .arg(call.pictureSize.width())
            .arg(call.pictureSize.height());
    }
    return {};
}

QStringList RecordingSurface::described() const
{
    QStringList lines;
    for (const Call& call : calls)
        lines << describe(call);
    return lines;
}

QStringList RecordingSurface::printedTexts() const
{
    QStringList texts;
    for (const Call& call : calls) {
        if (call.operation == Operation::PrintAt)
            texts << call.text;
    }
    return texts;
}

RecordingSurface::Call RecordingSurface::stamped(Operation operation) const
{
    Call call;
    call.operation = operation;
    call.size = m_size;
    call.bold = m_bold;
    call.colour = m_colour;
    call.style = m_style;
    return call;
}
