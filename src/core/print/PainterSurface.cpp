// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PainterSurface.h"

#include "core/print/PrintFont.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>

namespace {

constexpr double CentimetresPerInch = 2.54;

} // namespace

PainterSurface::PainterSurface(QPaintDevice& device, std::function<void()> abandonJob)
    : m_device(device), m_abandonJob(std::move(abandonJob)), m_font(PrintFont())
{
}

PainterSurface::~PainterSurface()
{
    // A page left without EndDocument is not complete: give up its job before the painter ends.
    if (m_painter.isActive() && !m_ended) {
        abandon();
        m_painter.end();
    }
}

void PainterSurface::PageSetUp()
{
    if (auto* paged = dynamic_cast<QPagedPaintDevice*>(&m_device)) {
        paged->setPageSize(QPageSize(QPageSize::A4));
        paged->setPageOrientation(QPageLayout::Landscape);
    }
    m_font = PrintFont();
    m_dashed = false;
}

bool PainterSurface::NewPage()
{
    // A page with nothing drawn still counts: the job opens here at the latest.
    if (!ready())
        return false;
    auto* paged = dynamic_cast<QPagedPaintDevice*>(&m_device);
    if (!paged || !paged->newPage()) {
        fail(QStringLiteral("non \u00e8 stato possibile cominciare una nuova pagina"));
        return false;
    }
    return true;
}

void PainterSurface::setFontSize(float points)
{
    m_font.setPointSizeF(points);
}

void PainterSurface::setBold(bool bold)
{
    m_font.setBold(bold);
}

void PainterSurface::setTextColour(TextColour colour)
{
    m_textColour = colour == TextColour::White ? Qt::white : Qt::black;
}

void PainterSurface::setLineStyle(LineStyle style)
{
    m_dashed = style == LineStyle::Dashed;
}

void PainterSurface::PrintAt(float x, float y, const QString& text)
{
    if (!ready())
        return;
    m_painter.setFont(m_font);
    m_painter.setPen(QPen(m_textColour, 0));
    // The painter places text on its baseline: go down from the top of the cell by the ascent.
    const QFontMetricsF metrics(m_font, &m_device);
    m_painter.drawText(toDevice(x, y) + QPointF(0, metrics.ascent()), text);
}

double PainterSurface::TextWidth(const QString& text)
{
    const QFontMetricsF metrics(m_font, &m_device);
    return metrics.horizontalAdvance(text) / m_device.logicalDpiX() * CentimetresPerInch;
}

void PainterSurface::DrawLine(float x1, float y1, float x2, float y2)
{
    if (!ready())
        return;
    // Width 0: the thinnest line the device draws.
    QPen pen(QBrush(Qt::black), 0, Qt::SolidLine);
    if (m_dashed) {
        // Qt's dash, 4 on and 2 off, counts device dots for the thinnest pen: at printer
        // resolutions that is a few hundredths of a millimetre and reads as a solid line.
        // Keep the pattern as it looks on a 96 dpi screen, about 1 mm on and 0.5 mm off.
        const qreal dot = m_device.logicalDpiX() / 96.0;
        pen.setDashPattern({4 * dot, 2 * dot});
    }
    m_painter.setPen(pen);
    m_painter.drawLine(QLineF(toDevice(x1, y1), toDevice(x2, y2)));
}

void PainterSurface::DrawFilledBox(float x1, float y1, float x2, float y2)
{
    if (!ready())
        return;
    m_painter.fillRect(QRectF(toDevice(x1, y1), toDevice(x2, y2)).normalized(), Qt::black);
}

void PainterSurface::DrawPicture(const QImage& picture, float x, float y, float width, float height)
{
    if (!ready())
        return;
    if (picture.isNull()) {
        fail(QStringLiteral("l'immagine del simbolo dell'euro non \u00e8 disponibile"));
        return;
    }
    m_painter.drawImage(QRectF(toDevice(x, y), toDevice(x + width, y + height)), picture);
}

void PainterSurface::DrawOutline(const QRectF& area, const QColor& colour)
{
    if (!ready())
        return;
    // About 0.4 mm wide whatever the resolution, so that it shows in a reduced preview.
    const qreal width = m_device.logicalDpiX() / 64.0;
    m_painter.setPen(QPen(colour, width));
    m_painter.setBrush(Qt::NoBrush);
    const QPointF topLeft = toDevice(static_cast<float>(area.left()), static_cast<float>(area.top()));
    const QPointF bottomRight = toDevice(static_cast<float>(area.right()), static_cast<float>(area.bottom()));
    const qreal gap = width;
    m_painter.drawRect(QRectF(topLeft, bottomRight).adjusted(-gap, -gap, gap, gap));
}

bool PainterSurface::EndDocument()
{
    if (m_ended)
        return !failed();
    m_ended = true;
    if (!m_painter.isActive())
        return !failed();
    if (failed()) {
        abandon();
        m_painter.end();
        return false;
    }
    if (!m_painter.end()) {
        fail(QStringLiteral("il documento non si \u00e8 potuto chiudere"));
        return false;
    }
    return true;
}

bool PainterSurface::ready()
{
    if (failed() || m_ended)
        return false;
    if (!m_begun) {
        m_begun = true;
        if (!m_painter.begin(&m_device)) {
            fail(QStringLiteral("la stampa non si \u00e8 potuta avviare"));
            return false;
        }
        // Qt's PDF output would store pictures as JPEG without this.
        m_painter.setRenderHint(QPainter::LosslessImageRendering);
        m_painter.setRenderHint(QPainter::Antialiasing);
        m_painter.setRenderHint(QPainter::TextAntialiasing);
    }
    if (!m_painter.isActive()) {
        fail(QStringLiteral("la stampa si \u00e8 interrotta"));
        return false;
    }
    return true;
}

void PainterSurface::abandon()
{
    if (m_abandonJob)
        m_abandonJob();
}

void PainterSurface::fail(const QString& errorText)
{
    if (m_errorText.isEmpty())
        m_errorText = errorText;
}

QPointF PainterSurface::toDevice(float x, float y) const
{
    return {x / CentimetresPerInch * m_device.logicalDpiX(), y / CentimetresPerInch * m_device.logicalDpiY()};
}
