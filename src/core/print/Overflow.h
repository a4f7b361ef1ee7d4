// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"
#include "core/slip/SlipFields.h"

#include <QBuffer>
#include <QColor>
#include <QList>
#include <QRectF>
#include <QString>

#include <memory>
#include <vector>

class PainterSurface;
class QPaintDevice;
class QPdfWriter;

// What a printed text runs into when it is too long for its place.
enum class OverflowObstacle {
    OtherPart,     // the line between the receipt part and the payment part
    FixedText,     // a caption or other fixed text beside or below it
    SlipEdge,      // the slip's outer edge: its frame, or the edge of the sheet
    NextCodePiece, // where the next piece of the code line begins
    Line,          // another ruled line of the slip
    Picture,       // the euro mark
};

// Where on the slip a text is printed.
enum class SlipPart { Receipt, Payment, CodeLine };

// One printed text that runs past the space it has.
struct Overflow {
    int row = 0;             // index of the layout row that prints it, in its model's table
    QList<SlipField> fields; // the fields the text is made of
    SlipPart part = SlipPart::Receipt;
    OverflowObstacle obstacle = OverflowObstacle::FixedText;
    QString obstacleText; // the fixed text run into, for FixedText
    double excess = 0;    // how much of the text is too long, in centimetres
    int linesTooMany = 0; // reason for payment: lines that do not fit (0 for one-line texts)
    // The text's character cells in centimetres on the page; of the reason, the lines that do not fit.
    QRectF area;
};

// Finds, for one slip model, every printed field text whose ink reaches something else printed on
// the slip or passes the slip's edge. Texts are measured as the page is printed: the print font on
// a high-resolution device (a PDF device at the resolution of the application's PDF files, unless
// another device is given). A text is the band from the top of its capitals to its baseline and
// from its left to its right end; lines, the band and the euro mark are what the layout draws;
// fixed texts are measured the same way. Cheap enough to run at every key press.
class OverflowFinder
{
public:
    OverflowFinder();
    explicit OverflowFinder(QPaintDevice& device);
    ~OverflowFinder();

    OverflowFinder(const OverflowFinder&) = delete;
    OverflowFinder& operator=(const OverflowFinder&) = delete;

    // In the order of the layout's rows. Code-line pieces only when codeLine is true.
    std::vector<Overflow> find(SlipModel model, const SlipTexts& fields, bool codeLine) const;

private:
    QBuffer m_sink;
    std::unique_ptr<QPdfWriter> m_pdf;
    QPaintDevice* m_device = nullptr;
};

// Names the overflowing places and says what to expect, in Italian.

// The model as the palette names it: "premarcati" or "2 frame".
QString SlipModelName(SlipModel model);
// A field as the slip form names it, e.g. "Intestato a (riga 1)".
QString SlipFieldName(SlipField field);
// Centimetres with one decimal, rounded up, at least 0,1: "1,2".
QString OverflowCentimetres(double excess);
// Tool tip of a field whose printed texts overflow (the largest excess of them):
// "Troppo lungo di 1,2 cm per la stampa (premarcati)".
QString OverflowToolTip(SlipModel model, const std::vector<Overflow>& overflows, SlipField field);
// One line for each overflow: field, where it prints, how much and what it runs into.
QString OverflowDescription(const Overflow& overflow);
// The question asked before printing anyway, listing every overflow.
QString OverflowQuestion(SlipModel model, const std::vector<Overflow>& overflows);

// The colour of the marks: a red that stands out from the slip form's yellow focus.
inline const QColor OverflowMarkColour{0xd0, 0x10, 0x10};

// The page as the preview shows it: the composer's page, then every overflowing text outlined in
// the mark colour. Only the preview draws it; a printed or saved page never carries the marks.
bool ComposeMarkedPage(PainterSurface& surface, const PageComposer& compose,
                       const std::vector<Overflow>& overflows);
