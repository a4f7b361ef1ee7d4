// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintSurface.h"

#include <QFont>
#include <QPainter>

#include <functional>

class QPaintDevice;

// The page drawn with QPainter on any paint device: a printer, a PDF writer or an image.
// Centimetres become device coordinates at the device's resolution; text keeps its real point
// size and is measured on the device itself. The painter begins at the first drawing, so a page
// with nothing drawn opens no job. A failure (the painter does not begin, a picture is missing)
// makes the following drawings no-ops and EndDocument report it.
class PainterSurface final : public PrintSurface
{
public:
    // abandonJob, when given, is called once when a begun job fails or is left unfinished, before
    // the painter ends: a printer gives up its job there.
    explicit PainterSurface(QPaintDevice& device, std::function<void()> abandonJob = {});
    ~PainterSurface() override;

    PainterSurface(const PainterSurface&) = delete;
    PainterSurface& operator=(const PainterSurface&) = delete;

    void PageSetUp() override;
    void setFontSize(float points) override;
    void setBold(bool bold) override;
    void setTextColour(TextColour colour) override;
    void setLineStyle(LineStyle style) override;
    void PrintAt(float x, float y, const QString& text) override;
    double TextWidth(const QString& text) override;
    void DrawLine(float x1, float y1, float x2, float y2) override;
    void DrawFilledBox(float x1, float y1, float x2, float y2) override;
    void DrawPicture(const QImage& picture, float x, float y, float width, float height) override;
    bool EndDocument() override;

    // An outline of the rectangle (centimetres) in the colour, on top of what is drawn: the
    // preview's marks, which no printed or saved page carries.
    void DrawOutline(const QRectF& area, const QColor& colour);
    // Ends the page drawn so far and begins the next one of the same document (a job of several
    // slips). False when the device has no further pages or the job already failed.
    bool NewPage();

    // Why the job failed, in Italian; empty while nothing failed.
    QString errorText() const { return m_errorText; }
    bool failed() const { return !m_errorText.isEmpty(); }

private:
    bool ready();
    void fail(const QString& errorText);
    QPointF toDevice(float x, float y) const;

    void abandon();

    QPaintDevice& m_device;
    std::function<void()> m_abandonJob;
    QPainter m_painter;
    QFont m_font;
    QColor m_textColour = Qt::black;
    bool m_dashed = false;
    bool m_begun = false;
    bool m_ended = false;
    QString m_errorText;
};
