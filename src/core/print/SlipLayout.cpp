#include "core/print/SlipLayout.h"

#include "core/amount/CodeLine.h"
#include "core/print/PrintRoutines.h"

namespace {

constexpr bool Bold = true;
constexpr bool Regular = false;

// The euro mark is printed 0.7 cm square.
constexpr float EuroMarkSide = 0.7f;

constexpr LayoutRow line(int number, float x1, float y1, float x2, float y2, LineStyle style)
{
    LayoutRow row;
    row.number = number;
    row.operation = RowOperation::DrawLine;
    row.x = x1, row.y = y1, row.x2 = x2, row.y2 = y2;
    row.style = style;
    return row;
}

constexpr LayoutRow box(int number, float x1, float y1, float x2, float y2)
{
    LayoutRow row;
    row.number = number;
    row.operation = RowOperation::DrawFilledBox;
    row.x = x1, row.y = y1, row.x2 = x2, row.y2 = y2;
    return row;
}

constexpr LayoutRow euro(int number, float x, float y)
{
    LayoutRow row;
    row.number = number;
    row.operation = RowOperation::DrawPicture;
    row.x = x, row.y = y, row.width = EuroMarkSide, row.height = EuroMarkSide;
    return row;
}

constexpr LayoutRow textRow(int number, RowOperation operation, float x, float y, float size, bool bold,
                            RowText text)
{
    LayoutRow row;
    row.number = number;
    row.operation = operation;
    row.x = x, row.y = y;
    row.size = size;
    row.bold = bold;
    row.text = text;
    return row;
}

constexpr LayoutRow literal(int number, float x, float y, float size, bool bold, QStringView text,
                            TextColour colour = TextColour::Black)
{
    LayoutRow row = textRow(number, RowOperation::PrintAt, x, y, size, bold, RowText::Literal);
    row.literal = text;
    row.colour = colour;
    return row;
}

constexpr LayoutRow field(int number, float x, float y, float size, bool bold, SlipField which)
{
    LayoutRow row = textRow(number, RowOperation::PrintAt, x, y, size, bold, RowText::Field);
    row.field = which;
    return row;
}

// Field values are printed in 9 point bold.
constexpr LayoutRow value(int number, float x, float y, SlipField which)
{
    return field(number, x, y, 9, Bold, which);
}

constexpr LayoutRow amount(int number, float rightEdge, float y)
{
    LayoutRow row = textRow(number, RowOperation::PrintRightAligned, rightEdge, y, 9, Bold, RowText::Field);
    row.field = Amount;
    return row;
}

constexpr LayoutRow postcodeAndTown(int number, float x, float y)
{
    return textRow(number, RowOperation::PrintAt, x, y, 9, Bold, RowText::PostcodeAndTown);
}

// The reason for payment is measured and printed in 8 point bold.
constexpr LayoutRow reason(int number, float x, float firstY, float widthLimit)
{
    LayoutRow row = textRow(number, RowOperation::PrintWrapped, x, firstY, 8, Bold, RowText::Field);
    row.width = widthLimit;
    row.field = PaymentReason;
    return row;
}

// The document-type mark and the code line are printed in 11 point bold.
constexpr LayoutRow code(int number, float x, float y, RowText piece)
{
    LayoutRow row = textRow(number, RowOperation::PrintAt, x, y, 11, Bold, piece);
    row.codeLineOnly = piece != RowText::DocumentTypeMark;
    return row;
}

constexpr LayoutRow TwoFrameRows[] = {
    // Frame lines and titles.
    line(1, 12.4f, 0.05f, 12.4f, 10.1f, LineStyle::Solid),
    line(2, 0.05f, 8.3f, 29.7f, 8.3f, LineStyle::Solid),
    line(3, 0.05f, 0.4f, 29.7f, 0.4f, LineStyle::Solid),
    literal(4, 0.2f, 0.1f, 7, Regular, u"CONTI CORRENTI POSTALI - Ricevuta di Versamento"),
    literal(5, 13.1f, 0.1f, 7, Regular, u"CONTI CORRENTI POSTALI - Ricevuta di Accredito"),
    literal(6, 10.45f, 0.1f, 7, Regular, u"Banco"),
    literal(7, 11.2f, 0.1f, 7, Bold, u"Posta"),
    literal(8, 26.25f, 0.1f, 7, Regular, u"Banco"),
    literal(9, 27.0f, 0.1f, 7, Bold, u"Posta"),
    // Receipt part, fixed texts.
    euro(10, 0.2f, 0.7f),
    literal(11, 1.0f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(12, 6.3f, 1.1f, 8, Regular, u"di Euro"),
    literal(13, 0.2f, 1.7f, 6, Regular, u"IMPORTO IN LETTERE"),
    literal(14, 0.2f, 2.0f, 6, Regular, u"INTESTATO A"),
    literal(15, 0.2f, 3.4f, 6, Regular, u"CAUSALE"),
    literal(16, 0.2f, 4.8f, 6, Regular, u"ESEGUITO DA"),
    literal(17, 8.2f, 7.8f, 5, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(18, 2.7f, 6.5f, 5, Regular, u"AVVERTENZE"),
    literal(19, 0.0f, 6.7f, 5, Regular,
            u"Il bollettino deve essere compilato in ogni sua parte (con inchiostro nero o blu) e non"),
    literal(20, 0.0f, 6.9f, 5, Regular, u"deve recare abrasioni, correzioni o cancellature."),
    literal(21, 0.0f, 7.1f, 5, Regular,
            u"La causale \u00e8 obbligatoria per i versamenti a favore  delle Pubbliche Amministrazioni."),
    literal(22, 0.0f, 7.3f, 5, Regular,
            u"Le informazioni  richieste vanno riportate  in modo identico  in ciascuna delle parti di"),
    literal(23, 0.0f, 7.5f, 5, Regular, u"cui si compone il bollettino."),
    // Receipt part, field values.
    value(24, 2.7f, 1.05f, AccountNumber),
    amount(25, 11.5f, 1.05f),
    value(26, 3.0f, 1.6f, AmountWords),
    value(27, 1.0f, 2.3f, PayeeLine1),
    value(28, 1.0f, 2.6f, PayeeLine2),
    value(29, 1.0f, 2.9f, PayeeLine3),
    value(30, 1.0f, 5.1f, PayerName),
    value(31, 1.0f, 5.4f, PayerAddress),
    postcodeAndTown(32, 1.0f, 5.7f),
    reason(33, 1.0f, 3.4f, 10.0f),
    // Payment part, fixed texts.
    euro(34, 13.1f, 0.7f),
    literal(35, 14.1f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(36, 22.6f, 1.1f, 8, Regular, u"di Euro"),
    literal(37, 15.5f, 1.7f, 6, Regular, u"IMPORTO IN LETTERE"),
    literal(38, 13.1f, 2.0f, 6, Regular, u"INTESTATO A"),
    literal(39, 13.1f, 3.4f, 6, Regular, u"CAUSALE"),
    literal(40, 18.0f, 4.8f, 6, Regular, u"ESEGUITO DA"),
    literal(41, 13.9f, 7.8f, 5, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(42, 19.7f, 7.8f, 6, Bold, u"IMPORTANTE:  NON  SCRIVERE  NELLA  ZONA  SOTTOSTANTE"),
    literal(43, 14.4f, 8.05f, 6, Regular, u"codice bancoposta"),
    literal(44, 22.1f, 8.05f, 6, Regular, u"importo in euro"),
    literal(45, 24.6f, 8.05f, 6, Regular, u"numero conto"),
    literal(46, 26.6f, 8.05f, 6, Regular, u"tipo documento"),
    // Payment part, field values and code line.
    value(47, 16.0f, 1.05f, AccountNumber),
    amount(48, 28.0f, 1.05f),
    value(49, 18.2f, 1.6f, AmountWords),
    value(50, 14.0f, 2.3f, PayeeLine1),
    value(51, 14.0f, 2.6f, PayeeLine2),
    value(52, 14.0f, 2.9f, PayeeLine3),
    value(53, 18.9f, 5.1f, PayerName),
    value(54, 18.9f, 5.4f, PayerAddress),
    postcodeAndTown(55, 18.9f, 5.7f),
    reason(56, 14.0f, 3.4f, 14.0f),
    code(57, 13.1f, 1.55f, RowText::DocumentTypeMark),
    code(58, 27.0f, 9.1f, RowText::TypePiece),
    code(59, 21.5f, 9.1f, RowText::AmountPiece),
    code(60, 24.4f, 9.1f, RowText::AccountPiece),
    // Cut lines and cutting instructions.
    line(61, 0.0f, 10.1f, 29.7f, 10.1f, LineStyle::Dashed),
    line(62, 0.0f, 0.0f, 29.7f, 0.0f, LineStyle::Dashed),
    literal(63, 3.0f, 11.0f, 11, Regular,
            u"TAGLIARE LUNGO LE LINEE TRATTEGGIATE               TAGLIARE LUNGO LE LINEE TRATTEGGIATE"),
    literal(64, 3.0f, 11.5f, 11, Regular,
            u"DA UN MARGINE ALL'ALTRO DEL FOGLIO                     DA UN MARGINE ALL'ALTRO DEL FOGLIO"),
};

constexpr LayoutRow PremarcatiRows[] = {
    // Frame lines, header band and titles in white.
    line(1, 8.3f, 0.05f, 8.3f, 10.1f, LineStyle::Solid),
    line(2, 8.3f, 8.35f, 24.7f, 8.35f, LineStyle::Solid),
    box(3, 0.05f, 0.05f, 24.65f, 0.55f),
    literal(4, 0.2f, 0.2f, 6, Bold,
            u"CONTI CORRENTI POSTALI - Ricevuta di Versamento                     BancoPOSTA",
            TextColour::White),
    literal(5, 9.2f, 0.15f, 9, Bold, u"CONTI CORRENTI POSTALI - Ricevuta di Accredito", TextColour::White),
    literal(6, 22.65f, 0.15f, 8, Regular, u"Banco", TextColour::White),
    literal(7, 23.45f, 0.15f, 8, Bold, u"POSTA", TextColour::White),
    // Receipt part, fixed texts.
    euro(8, 0.2f, 0.75f),
    literal(9, 1.1f, 1.1f, 8, Regular, u"di Euro"),
    literal(10, 0.2f, 1.6f, 8, Regular, u"sul C/C n."),
    literal(11, 0.2f, 2.0f, 8, Regular, u"intestato a:"),
    literal(12, 0.2f, 3.25f, 8, Regular, u"Eseguito da:"),
    literal(13, 0.2f, 4.5f, 8, Regular, u"causale:"),
    literal(14, 4.0f, 7.8f, 6, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    // Receipt part, field values.
    amount(15, 4.0f, 1.05f),
    value(16, 1.5f, 1.55f, AccountNumber),
    value(17, 2.1f, 2.0f, PayeeLine1),
    value(18, 2.1f, 2.3f, PayeeLine2),
    value(19, 2.1f, 2.6f, PayeeLine3),
    value(20, 2.1f, 3.25f, PayerName),
    value(21, 2.1f, 3.55f, PayerAddress),
    postcodeAndTown(22, 2.1f, 3.85f),
    reason(23, 2.1f, 4.25f, 5.5f),
    // Payment part, fixed texts.
    euro(24, 9.2f, 0.75f),
    literal(25, 10.5f, 1.1f, 8, Regular, u"sul C/C n."),
    literal(26, 18.9f, 1.1f, 8, Regular, u"di Euro"),
    literal(27, 9.2f, 2.3f, 8, Regular, u"intestato a:"),
    literal(28, 15.0f, 3.9f, 8, Regular, u"Eseguito da:"),
    literal(29, 15.0f, 5.7f, 8, Regular, u"causale:"),
    literal(30, 10.0f, 7.8f, 6, Regular, u"BOLLO DELL'UFFICIO POSTALE"),
    literal(31, 15.0f, 7.8f, 7, Bold, u"Importante  non  scrivere  nella  zona  sottostante!"),
    literal(32, 11.0f, 8.05f, 6, Regular, u"codice bancoposta"),
    literal(33, 17.3f, 8.05f, 6, Regular, u"importo in euro"),
    literal(34, 20.8f, 8.05f, 6, Regular, u"numero conto"),
    literal(35, 23.5f, 8.05f, 6, Regular, u"td"),
    // Payment part, field values and code line.
    value(36, 12.0f, 1.05f, AccountNumber),
    amount(37, 23.0f, 1.05f),
    value(38, 9.2f, 2.6f, PayeeLine1),
    value(39, 9.2f, 2.9f, PayeeLine2),
    value(40, 9.2f, 3.2f, PayeeLine3),
    value(41, 15.6f, 4.2f, PayerName),
    value(42, 15.6f, 4.5f, PayerAddress),
    postcodeAndTown(43, 15.6f, 4.8f),
    reason(44, 15.6f, 5.7f, 7.5f),
    code(45, 9.2f, 1.7f, RowText::DocumentTypeMark),
    code(46, 23.2f, 9.1f, RowText::TypePiece),
    code(47, 16.8f, 9.1f, RowText::AmountPiece),
    code(48, 20.5f, 9.1f, RowText::AccountPiece),
    // Cutting frame and cutting notice.
    line(49, 0.0f, 10.1f, 24.7f, 10.1f, LineStyle::Dashed),
    line(50, 0.0f, 0.0f, 0.0f, 10.1f, LineStyle::Dashed),
    line(51, 24.7f, 0.0f, 24.7f, 10.1f, LineStyle::Dashed),
    line(52, 0.0f, 0.0f, 24.7f, 0.0f, LineStyle::Dashed),
    literal(53, 3.0f, 11.0f, 11, Regular,
            u"TAGLIARE LUNGO LA LINEA TRATTEGGIATA               TAGLIARE LUNGO LA LINEA TRATTEGGIATA"),
};

const ModelLayout TwoFrameLayout{7, TwoFrameRows};
const ModelLayout PremarcatiLayout{6, PremarcatiRows};

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

void DrawSlipModel(PrintSurface& surface, SlipModel model, const SlipTexts& fields, bool codeLine,
                   const QImage& euroMark)
{
    const ModelLayout& layout = SlipLayout(model);
    surface.setLineStyle(LineStyle::Solid);
    surface.setBold(false);
    surface.setTextColour(TextColour::Black);
    surface.setFontSize(layout.startFontSize);

    for (const LayoutRow& row : layout.rows) {
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
                surface.PrintAt(row.x, row.y, text);
            else if (row.operation == RowOperation::PrintRightAligned)
                PrintRightAligned(surface, row.x, row.y, text);
            else
                PrintWrapped(surface, row.x, row.y, row.width, text);
            break;
        }
        }
    }
}
