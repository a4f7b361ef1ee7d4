// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/SlipLayout.h"

#include "core/amount/CodeLine.h"
#include "core/geometry/PreviewRow.h"
#include "core/print/PrintRoutines.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr bool Bold = true;
constexpr bool Regular = false;

// The euro mark is printed 0.7 cm square.
constexpr float EuroMarkSide = 0.7f;

constexpr LayoutRow line(float x1, float y1, float x2, float y2, LineStyle style)
{
    LayoutRow row;
    row.operation = RowOperation::DrawLine;
    row.x = x1, row.y = y1, row.x2 = x2, row.y2 = y2;
    row.style = style;
    return row;
}

constexpr LayoutRow box(float x1, float y1, float x2, float y2)
{
    LayoutRow row;
    row.operation = RowOperation::DrawFilledBox;
    row.x = x1, row.y = y1, row.x2 = x2, row.y2 = y2;
    return row;
}

constexpr LayoutRow euro(float x, float y)
{
    LayoutRow row;
    row.operation = RowOperation::DrawPicture;
    row.x = x, row.y = y, row.width = EuroMarkSide, row.height = EuroMarkSide;
    return row;
}

constexpr LayoutRow textRow(RowOperation operation, float x, float y, float size, bool bold, RowText text)
{
    LayoutRow row;
    row.operation = operation;
    row.x = x, row.y = y;
    row.size = size;
    row.bold = bold;
    row.text = text;
    return row;
}

constexpr LayoutRow literal(float x, float y, float size, bool bold, QStringView text,
                            TextColour colour = TextColour::Black)
{
    LayoutRow row = textRow(RowOperation::PrintAt, x, y, size, bold, RowText::Literal);
    row.literal = text;
    row.colour = colour;
    return row;
}

constexpr LayoutRow field(float x, float y, float size, bool bold, SlipField which)
{
    LayoutRow row = textRow(RowOperation::PrintAt, x, y, size, bold, RowText::Field);
    row.field = which;
    return row;
}

// Field values are printed in 9 point bold.
constexpr LayoutRow value(float x, float y, SlipField which)
{
    return field(x, y, 9, Bold, which);
}

constexpr LayoutRow amount(float rightEdge, float y)
{
    LayoutRow row = textRow(RowOperation::PrintRightAligned, rightEdge, y, 9, Bold, RowText::Field);
    row.field = Amount;
    return row;
}

constexpr LayoutRow postcodeAndTown(float x, float y)
{
    return textRow(RowOperation::PrintAt, x, y, 9, Bold, RowText::PostcodeAndTown);
}

// The reason for payment is measured and printed in 8 point bold.
constexpr LayoutRow reason(float x, float firstY, float widthLimit)
{
    LayoutRow row = textRow(RowOperation::PrintWrapped, x, firstY, 8, Bold, RowText::Field);
    row.width = widthLimit;
    row.field = PaymentReason;
    return row;
}

// The document-type mark and the code line are printed in 11 point bold.
constexpr LayoutRow code(float x, float y, RowText piece)
{
    LayoutRow row = textRow(RowOperation::PrintAt, x, y, 11, Bold, piece);
    row.codeLineOnly = piece != RowText::DocumentTypeMark;
    return row;
}

constexpr LayoutRow TwoFrameRows[] = {
    // Frame lines and titles.
    line(12.4f, 0.05f, 12.4f, 10.1f, LineStyle::Solid),
    line(0.05f, 8.3f, 29.7f, 8.3f, LineStyle::Solid),
    line(0.05f, 0.4f, 29.7f, 0.4f, LineStyle::Solid),
    literal(0.2f, 0.1f, 7, Regular, u"CONTI CORRENTI POSTALI - Ricevuta di Versamento"),
    literal(13.1f, 0.1f, 7, Regular, u"CONTI CORRENTI POSTALI - Ricevuta di Accredito"),
    literal(10.45f, 0.1f, 7, Regular, u"Banco"),
    literal(11.2f, 0.1f, 7, Bold, u"Posta"),
    literal(26.25f, 0.1f, 7, Regular, u"Banco"),
    literal(27.0f, 0.1f, 7, Bold, u"Posta"),
    // Receipt part, fixed texts.
    euro(0.2f, 0.7f),
    literal(1.0f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(6.3f, 1.1f, 8, Regular, u"di Euro"),
    literal(0.2f, 1.7f, 6, Regular, u"IMPORTO IN LETTERE"),
    literal(0.2f, 2.0f, 6, Regular, u"INTESTATO A"),
    literal(0.2f, 3.4f, 6, Regular, u"CAUSALE"),
    literal(0.2f, 4.8f, 6, Regular, u"ESEGUITO DA"),
    literal(8.2f, 7.8f, 5, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(2.7f, 6.5f, 5, Regular, u"AVVERTENZE"),
    literal(0.0f, 6.7f, 5, Regular,
            u"Il bollettino deve essere compilato in ogni sua parte (con inchiostro nero o blu) e non"),
    literal(0.0f, 6.9f, 5, Regular, u"deve recare abrasioni, correzioni o cancellature."),
    literal(0.0f, 7.1f, 5, Regular,
            u"La causale \u00e8 obbligatoria per i versamenti a favore  delle Pubbliche Amministrazioni."),
    literal(0.0f, 7.3f, 5, Regular,
            u"Le informazioni  richieste vanno riportate  in modo identico  in ciascuna delle parti di"),
    literal(0.0f, 7.5f, 5, Regular, u"cui si compone il bollettino."),
    // Receipt part, field values.
    value(2.7f, 1.05f, AccountNumber),
    amount(11.5f, 1.05f),
    value(3.0f, 1.6f, AmountWords),
    value(1.0f, 2.3f, PayeeLine1),
    value(1.0f, 2.6f, PayeeLine2),
    value(1.0f, 2.9f, PayeeLine3),
    value(1.0f, 5.1f, PayerName),
    value(1.0f, 5.4f, PayerAddress),
    postcodeAndTown(1.0f, 5.7f),
    reason(1.0f, 3.4f, 10.0f),
    // Payment part, fixed texts.
    euro(13.1f, 0.7f),
    literal(14.1f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(22.6f, 1.1f, 8, Regular, u"di Euro"),
    literal(15.5f, 1.7f, 6, Regular, u"IMPORTO IN LETTERE"),
    literal(13.1f, 2.0f, 6, Regular, u"INTESTATO A"),
    literal(13.1f, 3.4f, 6, Regular, u"CAUSALE"),
    literal(18.0f, 4.8f, 6, Regular, u"ESEGUITO DA"),
    literal(13.9f, 7.8f, 5, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(19.7f, 7.8f, 6, Bold, u"IMPORTANTE:  NON  SCRIVERE  NELLA  ZONA  SOTTOSTANTE"),
    literal(14.4f, 8.05f, 6, Regular, u"codice bancoposta"),
    literal(22.1f, 8.05f, 6, Regular, u"importo in euro"),
    literal(24.6f, 8.05f, 6, Regular, u"numero conto"),
    literal(26.6f, 8.05f, 6, Regular, u"tipo documento"),
    // Payment part, field values and code line.
    value(16.0f, 1.05f, AccountNumber),
    amount(28.0f, 1.05f),
    value(18.2f, 1.6f, AmountWords),
    value(14.0f, 2.3f, PayeeLine1),
    value(14.0f, 2.6f, PayeeLine2),
    value(14.0f, 2.9f, PayeeLine3),
    value(18.9f, 5.1f, PayerName),
    value(18.9f, 5.4f, PayerAddress),
    postcodeAndTown(18.9f, 5.7f),
    reason(14.0f, 3.4f, 14.0f),
    code(13.1f, 1.55f, RowText::DocumentTypeMark),
    code(27.0f, 9.1f, RowText::TypePiece),
    code(21.5f, 9.1f, RowText::AmountPiece),
    code(24.4f, 9.1f, RowText::AccountPiece),
    // Cut lines and cutting instructions.
    line(0.0f, 10.1f, 29.7f, 10.1f, LineStyle::Dashed),
    line(0.0f, 0.0f, 29.7f, 0.0f, LineStyle::Dashed),
    literal(3.0f, 11.0f, 11, Regular,
            u"TAGLIARE LUNGO LE LINEE TRATTEGGIATE               TAGLIARE LUNGO LE LINEE TRATTEGGIATE"),
    literal(3.0f, 11.5f, 11, Regular,
            u"DA UN MARGINE ALL'ALTRO DEL FOGLIO                     DA UN MARGINE ALL'ALTRO DEL FOGLIO"),
};

constexpr LayoutRow PremarcatiRows[] = {
    // Frame lines, header band and titles in white.
    line(8.3f, 0.05f, 8.3f, 10.1f, LineStyle::Solid),
    line(8.3f, 8.35f, 24.7f, 8.35f, LineStyle::Solid),
    box(0.05f, 0.05f, 24.65f, 0.55f),
    literal(0.2f, 0.2f, 6, Bold,
            u"CONTI CORRENTI POSTALI - Ricevuta di Versamento                     BancoPOSTA",
            TextColour::White),
    literal(9.2f, 0.15f, 9, Bold, u"CONTI CORRENTI POSTALI - Ricevuta di Accredito", TextColour::White),
    literal(22.65f, 0.15f, 8, Regular, u"Banco", TextColour::White),
    literal(23.45f, 0.15f, 8, Bold, u"POSTA", TextColour::White),
    // Receipt part, fixed texts.
    euro(0.2f, 0.75f),
    literal(1.1f, 1.1f, 8, Regular, u"di Euro"),
    literal(0.2f, 1.6f, 8, Regular, u"sul C/C n."),
    literal(0.2f, 2.0f, 8, Regular, u"intestato a:"),
    literal(0.2f, 3.25f, 8, Regular, u"Eseguito da:"),
    literal(0.2f, 4.5f, 8, Regular, u"causale:"),
    literal(4.0f, 7.8f, 6, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    // Receipt part, field values.
    amount(4.0f, 1.05f),
    value(1.5f, 1.55f, AccountNumber),
    value(2.1f, 2.0f, PayeeLine1),
    value(2.1f, 2.3f, PayeeLine2),
    value(2.1f, 2.6f, PayeeLine3),
    value(2.1f, 3.25f, PayerName),
    value(2.1f, 3.55f, PayerAddress),
    postcodeAndTown(2.1f, 3.85f),
    reason(2.1f, 4.25f, 5.5f),
    // Payment part, fixed texts.
    euro(9.2f, 0.75f),
    literal(10.5f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(18.9f, 1.1f, 8, Regular, u"di Euro"),
    literal(9.2f, 2.3f, 8, Regular, u"intestato a:"),
    literal(15.0f, 3.9f, 8, Regular, u"Eseguito da:"),
    literal(15.0f, 5.7f, 8, Regular, u"causale:"),
    literal(10.0f, 7.8f, 6, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(15.0f, 7.8f, 7, Bold, u"Importante  non  scrivere  nella  zona  sottostante!"),
    literal(11.0f, 8.05f, 6, Regular, u"codice bancoposta"),
    literal(17.3f, 8.05f, 6, Regular, u"importo in euro"),
    literal(20.8f, 8.05f, 6, Regular, u"numero conto"),
    literal(23.5f, 8.05f, 6, Regular, u"td"),
    // Payment part, field values and code line.
    value(12.0f, 1.05f, AccountNumber),
    amount(23.0f, 1.05f),
    value(9.2f, 2.6f, PayeeLine1),
    value(9.2f, 2.9f, PayeeLine2),
    value(9.2f, 3.2f, PayeeLine3),
    value(15.6f, 4.2f, PayerName),
    value(15.6f, 4.5f, PayerAddress),
    postcodeAndTown(15.6f, 4.8f),
    reason(15.6f, 5.7f, 7.5f),
    code(9.2f, 1.7f, RowText::DocumentTypeMark),
    code(23.2f, 9.1f, RowText::TypePiece),
    code(16.8f, 9.1f, RowText::AmountPiece),
    code(20.5f, 9.1f, RowText::AccountPiece),
    // Cutting frame and cutting notice.
    line(0.0f, 10.1f, 24.7f, 10.1f, LineStyle::Dashed),
    line(0.0f, 0.0f, 0.0f, 10.1f, LineStyle::Dashed),
    line(24.7f, 0.0f, 24.7f, 10.1f, LineStyle::Dashed),
    line(0.0f, 0.0f, 24.7f, 0.0f, LineStyle::Dashed),
    literal(3.0f, 11.0f, 11, Regular,
            u"TAGLIARE LUNGO LA LINEA TRATTEGGIATA               TAGLIARE LUNGO LA LINEA TRATTEGGIATA"),
};

// The code line's row: the payment part's left edge (12.4 and 8.3) with a margin, to the slip's edge;
// the "2 frame" slip runs to the sheet's edge, of which a printer leaves about 0.42 cm unprinted.
const ModelLayout TwoFrameLayout{7, TwoFrameRows, 12.6f, 28.8f};
const ModelLayout PremarcatiLayout{6, PremarcatiRows, 8.5f, 24.7f};

// Least space between two pieces of the code line.
constexpr double CodeLineGap = 0.25;
// Positions are arranged in thousandths of a centimetre.
constexpr double ArrangeUnits = 1000.0;

} // namespace

const ModelLayout& SlipLayout(SlipModel model)
{
    return model == SlipModel::Premarcati ? PremarcatiLayout : TwoFrameLayout;
}

std::optional<SlipModel> ChosenSlipModel(const PaletteState& state)
{
    if (state.premarcati)
        return SlipModel::Premarcati;
    if (state.twoFrame)
        return SlipModel::TwoFrame;
    return std::nullopt;
}

bool CodeLineWanted(const PaletteState& state)
{
    return state.check == CheckBoxState::Ticked;
}

QString RowTextFor(const LayoutRow& row, const SlipTexts& fields)
{
    switch (row.text) {
    case RowText::Literal:
        return row.literal.toString();
    case RowText::Field:
        return fields[row.field];
    case RowText::PostcodeAndTown:
        return fields[PayerPostcode] + QStringLiteral("   ") + fields[PayerTown];
    case RowText::DocumentTypeMark:
        return DocumentTypeMark(fields[DocumentType]);
    case RowText::TypePiece:
        return CodeLineTypePiece(fields[DocumentType]);
    case RowText::AmountPiece:
        return CodeLineAmountPiece(fields[Amount]);
    case RowText::AccountPiece:
        return CodeLineAccountPiece(fields[AccountNumber]);
    }
    return {};
}

QList<float> CodeLinePieceLefts(PrintSurface& surface, SlipModel model, const SlipTexts& fields)
{
    const ModelLayout& layout = SlipLayout(model);
    QList<float> lefts(qsizetype(layout.rows.size()), 0.0f);
    QList<qsizetype> pieces; // row indexes, left to right on the page
    for (qsizetype i = 0; i < qsizetype(layout.rows.size()); ++i) {
        lefts[i] = layout.rows[i].x;
        if (layout.rows[i].codeLineOnly)
            pieces.append(i);
    }
    if (CodeLinePiecesStandard(fields) || pieces.isEmpty())
        return lefts;
    std::sort(pieces.begin(), pieces.end(),
              [&layout](qsizetype a, qsizetype b) { return layout.rows[a].x < layout.rows[b].x; });
    QList<int> designed;
    QList<int> widths;
    for (const qsizetype i : pieces) {
        const LayoutRow& row = layout.rows[i];
        surface.setFontSize(row.size);
        surface.setBold(row.bold);
        designed.append(int(std::lround(row.x * ArrangeUnits)));
        widths.append(int(std::ceil(surface.TextWidth(RowTextFor(row, fields)) * ArrangeUnits)));
    }
    const int gap = int(CodeLineGap * ArrangeUnits);
    std::optional<QList<int>> placed =
        arrangePreviewRow(designed, widths, gap, int(std::lround(layout.codeLineLeft * ArrangeUnits)),
                          int(std::lround(layout.codeLineRight * ArrangeUnits)));
    if (!placed) {
        // Wider than the whole row: one after the other from its left end, none over another.
        placed = QList<int>();
        int at = int(std::lround(layout.codeLineLeft * ArrangeUnits));
        for (const int width : std::as_const(widths)) {
            placed->append(at);
            at += width + gap;
        }
    }
    for (qsizetype k = 0; k < pieces.size(); ++k)
        lefts[pieces[k]] = float(placed->at(k) / ArrangeUnits);
    return lefts;
}

void DrawSlipModel(PrintSurface& surface, SlipModel model, const SlipTexts& fields, bool codeLine,
                   const QImage& euroMark)
{
    const ModelLayout& layout = SlipLayout(model);
    const QList<float> lefts = codeLine && !CodeLinePiecesStandard(fields)
                                   ? CodeLinePieceLefts(surface, model, fields)
                                   : QList<float>();
    surface.setLineStyle(LineStyle::Solid);
    surface.setBold(false);
    surface.setTextColour(TextColour::Black);
    surface.setFontSize(layout.startFontSize);

    for (qsizetype index = 0; index < qsizetype(layout.rows.size()); ++index) {
        const LayoutRow& row = layout.rows[index];
        if (row.codeLineOnly && !codeLine)
            continue;
        switch (row.operation) {
        case RowOperation::DrawLine:
            surface.setLineStyle(row.style);
            surface.DrawLine(row.x, row.y, row.x2, row.y2);
            break;
        case RowOperation::DrawFilledBox:
            surface.DrawFilledBox(row.x, row.y, row.x2, row.y2);
            break;
        case RowOperation::DrawPicture:
            surface.DrawPicture(euroMark, row.x, row.y, row.width, row.height);
            break;
        case RowOperation::PrintAt:
        case RowOperation::PrintRightAligned:
        case RowOperation::PrintWrapped: {
            surface.setFontSize(row.size);
            surface.setBold(row.bold);
            surface.setTextColour(row.colour);
            const QString text = RowTextFor(row, fields);
            if (row.operation == RowOperation::PrintAt)
                surface.PrintAt(row.codeLineOnly && !lefts.isEmpty() ? lefts[index] : row.x, row.y, text);
            else if (row.operation == RowOperation::PrintRightAligned)
                PrintRightAligned(surface, row.x, row.y, text);
            else
                PrintWrapped(surface, row.x, row.y, row.width, text);
            break;
        }
        }
    }
}
