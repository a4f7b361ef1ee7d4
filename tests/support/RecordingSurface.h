// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintSurface.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

// A print surface that draws nothing and logs every drawing with the state in force.
// Widths are characterWidth (0.2 cm) a character unless a measuring surface is given, whose font state then
// follows this one's and which measures every width.
class RecordingSurface final : public PrintSurface
{
public:
    enum class Operation { PageSetUp, PrintAt, DrawLine, DrawFilledBox, DrawPicture, EndDocument };

    struct Call {
        Operation operation = Operation::PrintAt;
        float x1 = 0, y1 = 0, x2 = 0, y2 = 0; // DrawPicture: x, y, width, height
        QString text;
        float size = 0;
        bool bold = false;
        TextColour colour = TextColour::Black;
        LineStyle style = LineStyle::Solid;
        QSize pictureSize;
    };

    explicit RecordingSurface(PrintSurface* measurer = nullptr);

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

    std::vector<Call> calls;
    // Width of every character when there is no measuring surface, in centimetres.
    double characterWidth = 0.2;
    // What EndDocument answers.
    bool endResult = true;

    // One line per call, numbers with two decimals, only what matters for its operation:
    //   PrintAt 0.20 0.10 7 regular black |text|
    //   DrawLine 12.40 0.05 12.40 10.10 solid
    //   DrawFilledBox 0.05 0.05 24.65 0.55
    //   DrawPicture 0.20 0.70 0.70 0.70 84x84
    static QString describe(const Call& call);
    QStringList described() const;
    // The texts of the PrintAt calls, in order.
    QStringList printedTexts() const;

private:
    Call stamped(Operation operation) const;

    PrintSurface* m_measurer;
    float m_size = 0;
    bool m_bold = false;
    TextColour m_colour = TextColour::Black;
    LineStyle m_style = LineStyle::Solid;
};
