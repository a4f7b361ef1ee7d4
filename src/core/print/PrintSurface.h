// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class QImage;

// Colours a text can take on the page.
enum class TextColour { Black, White };
// Line styles; dashed is the device's standard dash.
enum class LineStyle { Solid, Dashed };

// The page being composed. Coordinates, widths and heights are centimetres from the top-left of
// the printable area of an A4 landscape page, x to the right and y downwards. Font size, bold,
// text colour and line style are state: once set they hold until changed. The font is "Arial".
class PrintSurface
{
public:
    virtual ~PrintSurface() = default;

    // A4, landscape, centimetres, "Arial", thinnest line. Draws nothing and opens no job.
    virtual void PageSetUp() = 0;
    virtual void setFontSize(float points) = 0;
    virtual void setBold(bool bold) = 0;
    virtual void setTextColour(TextColour colour) = 0;
    virtual void setLineStyle(LineStyle style) = 0;

    // The text on one line, unchanged, with the top of its character cell at y.
    virtual void PrintAt(float x, float y, const QString& text) = 0;
    // Width the text would take in the current font, size and bold, in centimetres.
    virtual double TextWidth(const QString& text) = 0;
    // A black line in the current line style.
    virtual void DrawLine(float x1, float y1, float x2, float y2) = 0;
    // A black rectangle with these opposite corners.
    virtual void DrawFilledBox(float x1, float y1, float x2, float y2) = 0;
    // The picture stretched into the rectangle whose top-left corner is (x, y).
    virtual void DrawPicture(const QImage& picture, float x, float y, float width, float height) = 0;
    // Closes the page and releases the job. False when the job failed: it was then abandoned
    // and must not be taken as printed.
    virtual bool EndDocument() = 0;
};
