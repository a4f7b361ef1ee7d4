// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintSurface.h"
#include "core/slip/SlipFields.h"

#include <QImage>
#include <QList>
#include <QStringView>

#include <optional>
#include <span>

// The two slip models as data: ordered rows drawn by DrawSlipModel, one row per drawing.

enum class SlipModel { TwoFrame, Premarcati };

enum class RowOperation { DrawLine, DrawFilledBox, DrawPicture, PrintAt, PrintRightAligned, PrintWrapped };

// What a text row prints.
enum class RowText {
    Literal,          // the row's literal
    Field,            // one slip field as it stands
    PostcodeAndTown,  // postcode, three spaces, town
    DocumentTypeMark, // "TD    " and the document type
    TypePiece,        // code line: document type and ">"
    AmountPiece,      // code line: padded integer part, "+", decimals, ">"
    AccountPiece,     // code line: padded account and "<"
};

// One drawing, in centimetres. Where it is follows the operation:
//   DrawLine, DrawFilledBox: (x, y) to (x2, y2);
//   DrawPicture: top-left (x, y), width and height;
//   PrintAt: top-left (x, y);  PrintRightAligned: right edge x, top y;
//   PrintWrapped: left x, top of the first line y, width limit width.
// Text rows print in size points, bold or not, in colour; lines are drawn in style.
struct LayoutRow {
    RowOperation operation = RowOperation::PrintAt;
    float x = 0, y = 0;
    float x2 = 0, y2 = 0;
    float width = 0, height = 0;
    float size = 0;
    bool bold = false;
    TextColour colour = TextColour::Black;
    LineStyle style = LineStyle::Solid;
    RowText text = RowText::Literal;
    QStringView literal;
    SlipField field = PayerName;
    bool codeLineOnly = false; // drawn only when the code line is wanted
};

struct ModelLayout {
    float startFontSize = 0; // font size in force before the first row
    std::span<const LayoutRow> rows;
    // Where the code line's pieces may stand: from the payment part's left edge to the slip's right
    // edge. A piece longer than usual moves the ones after it right, and the line is pulled back left
    // where it would run past the slip, so that no piece is printed over another.
    float codeLineLeft = 0, codeLineRight = 0;
};

const ModelLayout& SlipLayout(SlipModel model);

// The model the palette's options choose: "premarcati" first, then "2 frame"; none when neither.
std::optional<SlipModel> ChosenSlipModel(const PaletteState& state);
// The code line is printed only when the check box is ticked (value 1).
bool CodeLineWanted(const PaletteState& state);

// The text a row prints for these fields.
QString RowTextFor(const LayoutRow& row, const SlipTexts& fields);

// The left edges (cm) of the code line's pieces for these fields, by row index of the model's
// layout, measured on surface in the pieces' font; the design positions when every piece has its usual
// length.
QList<float> CodeLinePieceLefts(PrintSurface& surface, SlipModel model, const SlipTexts& fields);

// Draws the model's rows in order, from line style solid, bold off and black text; the rows of
// the code line only when codeLine is true. Does not set up or end the page.
void DrawSlipModel(PrintSurface& surface, SlipModel model, const SlipTexts& fields, bool codeLine,
                   const QImage& euroMark);
