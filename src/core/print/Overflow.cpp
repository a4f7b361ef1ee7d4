// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/Overflow.h"

#include "core/amount/CodeLine.h"
#include "core/print/PainterSurface.h"
#include "core/print/PrintFont.h"
#include "core/print/PrintPage.h"
#include "core/print/PrintRoutines.h"

#include <QColor>

#include <QFont>
#include <QFontMetricsF>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double CentimetresPerInch = 2.54;

// A rectangle on the page in centimetres; a line has no width or no height.
struct Box {
    double left = 0, right = 0, top = 0, bottom = 0;
};

// Strict overlap: texts that only touch a line at their start, or stand in the same column, do not
// collide.
bool overlaps(const Box& a, const Box& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

struct Obstacle {
    Box box;
    int row = 0; // index of the layout row that draws it
    OverflowObstacle kind = OverflowObstacle::FixedText;
    QString text;
};

// One line of printed text.
struct PrintedLine {
    Box box;     // from the top of its capitals to its baseline: where it collides
    QRectF cell; // its whole character cell: what a mark outlines
    double width = 0;
};

// Measures as the page is printed: widths come from a page surface on the device, which draws
// nothing here; heights from the metrics of the print font at the same size.
class Ruler
{
public:
    explicit Ruler(QPaintDevice& device) : m_device(device), m_page(device) {}

    void setFont(float points, bool bold)
    {
        m_page.setFontSize(points);
        m_page.setBold(bold);
        m_font = PrintFont(points, bold);
    }
    double width(const QString& text) { return m_page.TextWidth(text); }

    // The text with the top of its character cell at y: from the top of its capitals to its baseline.
    PrintedLine line(double left, double y, const QString& text)
    {
        const QFontMetricsF metrics(m_font, &m_device);
        const double perDot = CentimetresPerInch / m_device.logicalDpiY();
        const double baseline = y + metrics.ascent() * perDot;
        const double w = width(text);
        const QRectF cell(left, y, w, (metrics.ascent() + metrics.descent()) * perDot);
        return {{left, left + w, baseline - metrics.capHeight() * perDot, baseline}, cell, w};
    }

private:
    QPaintDevice& m_device;
    PainterSurface m_page;
    QFont m_font;
};

// Collects the lines PrintWrapped would print, measured by the ruler.
class WrappedLines final : public PrintSurface
{
public:
    explicit WrappedLines(Ruler& ruler) : m_ruler(ruler) {}

    void PageSetUp() override {}
    void setFontSize(float) override {}
    void setBold(bool) override {}
    void setTextColour(TextColour) override {}
    void setLineStyle(LineStyle) override {}
    void PrintAt(float x, float y, const QString& text) override
    {
        lines.push_back(m_ruler.line(x, y, text));
    }
    double TextWidth(const QString& text) override { return m_ruler.width(text); }
    void DrawLine(float, float, float, float) override {}
    void DrawFilledBox(float, float, float, float) override {}
    void DrawPicture(const QImage&, float, float, float, float) override {}
    bool EndDocument() override { return true; }

    std::vector<PrintedLine> lines;

private:
    Ruler& m_ruler;
};

bool isText(const LayoutRow& row)
{
    return row.operation == RowOperation::PrintAt || row.operation == RowOperation::PrintRightAligned ||
           row.operation == RowOperation::PrintWrapped;
}

bool isCodePiece(const LayoutRow& row)
{
    return row.text == RowText::TypePiece || row.text == RowText::AmountPiece ||
           row.text == RowText::AccountPiece;
}

QList<SlipField> fieldsOf(const LayoutRow& row)
{
    switch (row.text) {
    case RowText::Literal:
        return {};
    case RowText::Field:
        return {row.field};
    case RowText::PostcodeAndTown:
        return {PayerPostcode, PayerTown};
    case RowText::DocumentTypeMark:
    case RowText::TypePiece:
        return {DocumentType};
    case RowText::AmountPiece:
        return {Amount};
    case RowText::AccountPiece:
        return {AccountNumber};
    }
    return {};
}

// Where row stands in the layout's table.
int rowIndex(const ModelLayout& layout, const LayoutRow& row)
{
    return static_cast<int>(&row - layout.rows.data());
}

// The vertical solid line between the two parts.
double dividerOf(const ModelLayout& layout)
{
    for (const LayoutRow& row : layout.rows) {
        if (row.operation == RowOperation::DrawLine && row.style == LineStyle::Solid && row.x == row.x2)
            return row.x;
    }
    return 0;
}

std::vector<Obstacle> obstaclesOf(const ModelLayout& layout, Ruler& ruler, bool codeLine)
{
    std::vector<Obstacle> obstacles;
    double slipRight = 0;
    double slipBottom = 0;
    for (const LayoutRow& row : layout.rows) {
        const int index = rowIndex(layout, row);
        switch (row.operation) {
        case RowOperation::DrawLine: {
            OverflowObstacle kind = OverflowObstacle::Line;
            if (row.style == LineStyle::Dashed)
                kind = OverflowObstacle::SlipEdge;
            else if (row.x == row.x2)
                kind = OverflowObstacle::OtherPart;
            const Box box{std::min(row.x, row.x2), std::max(row.x, row.x2), std::min(row.y, row.y2),
                          std::max(row.y, row.y2)};
            obstacles.push_back({box, index, kind, {}});
            slipRight = std::max(slipRight, box.right);
            slipBottom = std::max(slipBottom, box.bottom);
            break;
        }
        case RowOperation::DrawPicture:
            obstacles.push_back({{row.x, row.x + row.width, row.y, row.y + row.height},
                                 index,
                                 OverflowObstacle::Picture,
                                 {}});
            break;
        case RowOperation::DrawFilledBox:
            // The header band carries only fixed texts; no field text reaches up to it.
            break;
        case RowOperation::PrintAt:
        case RowOperation::PrintRightAligned:
        case RowOperation::PrintWrapped:
            ruler.setFont(row.size, row.bold);
            if (row.text == RowText::Literal) {
                const QString text = row.literal.toString();
                obstacles.push_back({ruler.line(row.x, row.y, text).box, index, OverflowObstacle::FixedText,
                                     text.simplified()});
            } else if (codeLine && isCodePiece(row)) {
                // Where the piece begins, whatever it holds: the piece before it must end there.
                Box start = ruler.line(row.x, row.y, QString()).box;
                obstacles.push_back({start, index, OverflowObstacle::NextCodePiece, {}});
            }
            break;
        }
    }
    // The right edge of the slip, drawn or not (the "2 frame" slip ends at the sheet's edge).
    obstacles.push_back({{slipRight, slipRight, 0, slipBottom}, 0, OverflowObstacle::SlipEdge, {}});
    return obstacles;
}

} // namespace

OverflowFinder::OverflowFinder()
{
    m_sink.open(QIODevice::WriteOnly);
    m_pdf = std::make_unique<QPdfWriter>(&m_sink);
    m_pdf->setResolution(PdfResolution);
    m_device = m_pdf.get();
}

OverflowFinder::OverflowFinder(QPaintDevice& device) : m_device(&device)
{
}

OverflowFinder::~OverflowFinder() = default;

std::vector<Overflow> OverflowFinder::find(SlipModel model, const SlipTexts& fields, bool codeLine) const
{
    const ModelLayout& layout = SlipLayout(model);
    Ruler ruler(*m_device);
    const std::vector<Obstacle> obstacles = obstaclesOf(layout, ruler, codeLine);
    const double divider = dividerOf(layout);

    // Pieces longer than usual are moved apart when they are drawn (CodeLinePieceLefts): none runs
    // over another there.
    const bool piecesArranged = codeLine && !CodeLinePiecesStandard(fields);
    std::vector<Overflow> found;
    for (const LayoutRow& row : layout.rows) {
        if (!isText(row) || row.text == RowText::Literal || (row.codeLineOnly && !codeLine))
            continue;
        if (piecesArranged && isCodePiece(row))
            continue;
        const QString text = RowTextFor(row, fields);
        if (text.isEmpty())
            continue;
        ruler.setFont(row.size, row.bold);
        const int index = rowIndex(layout, row);

        Overflow overflow;
        overflow.row = index;
        overflow.fields = fieldsOf(row);
        overflow.part = isCodePiece(row)  ? SlipPart::CodeLine
                        : row.x < divider ? SlipPart::Receipt
                                          : SlipPart::Payment;
        const Obstacle* hit = nullptr;

        if (row.operation == RowOperation::PrintWrapped) {
            WrappedLines wrapped(ruler);
            PrintWrapped(wrapped, row.x, row.y, row.width, text);
            for (std::size_t i = 0; i < wrapped.lines.size() && !hit; ++i) {
                for (const Obstacle& obstacle : obstacles) {
                    if (!overlaps(wrapped.lines[i].box, obstacle.box))
                        continue;
                    if (!hit || obstacle.box.top < hit->box.top ||
                        (obstacle.box.top == hit->box.top && obstacle.box.left < hit->box.left))
                        hit = &obstacle;
                }
                if (hit) {
                    overflow.linesTooMany = static_cast<int>(wrapped.lines.size() - i);
                    for (std::size_t j = i; j < wrapped.lines.size(); ++j) {
                        overflow.excess += wrapped.lines[j].width;
                        overflow.area |= wrapped.lines[j].cell;
                    }
                }
            }
        } else {
            const bool rightAligned = row.operation == RowOperation::PrintRightAligned;
            const double width = ruler.width(text);
            const double left = rightAligned ? row.x - width : row.x;
            const PrintedLine printed = ruler.line(left, row.y, text);
            const Box& box = printed.box;
            overflow.area = printed.cell;
            for (const Obstacle& obstacle : obstacles) {
                if (obstacle.row == index || !overlaps(box, obstacle.box))
                    continue;
                // The first thing the text meets on its way from where it is anchored.
                if (!hit ||
                    (rightAligned ? obstacle.box.right > hit->box.right : obstacle.box.left < hit->box.left))
                    hit = &obstacle;
            }
            if (hit) {
                overflow.excess = rightAligned ? std::min(hit->box.right, box.right) - box.left
                                               : box.right - std::max(hit->box.left, box.left);
            }
        }
        if (!hit)
            continue;
        overflow.obstacle = hit->kind;
        overflow.obstacleText = hit->text;
        found.push_back(overflow);
    }
    return found;
}

QString SlipModelName(SlipModel model)
{
    return model == SlipModel::Premarcati ? QStringLiteral("premarcati") : QStringLiteral("2 frame");
}

QString SlipFieldName(SlipField field)
{
    switch (field) {
    case PayerName:
        return QStringLiteral("Cognome e Nome");
    case PayerAddress:
        return QStringLiteral("Indirizzo");
    case PayerPostcode:
        return QStringLiteral("C.A.P.");
    case PayerTown:
        return QStringLiteral("Citt\u00e0");
    case Amount:
        return QStringLiteral("Importo");
    case AmountWords:
        return QStringLiteral("Importo in lettere");
    case PayeeLine1:
        return QStringLiteral("Intestato a (riga 1)");
    case PayeeLine2:
        return QStringLiteral("Intestato a (riga 2)");
    case PayeeLine3:
        return QStringLiteral("Intestato a (riga 3)");
    case AccountNumber:
        return QStringLiteral("Numero di conto");
    case PaymentReason:
        return QStringLiteral("Causale");
    case DocumentType:
        return QStringLiteral("Tipo documento");
    }
    return {};
}

QString OverflowCentimetres(double excess)
{
    const double tenths = std::max(1.0, std::ceil(excess * 10 - 1e-9));
    return QString::number(tenths / 10, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
}

QString OverflowToolTip(SlipModel model, const std::vector<Overflow>& overflows, SlipField field)
{
    double largest = -1;
    for (const Overflow& overflow : overflows) {
        if (overflow.fields.contains(field))
            largest = std::max(largest, overflow.excess);
    }
    if (largest < 0)
        return {};
    return QStringLiteral("Troppo lungo di %1 cm per la stampa (%2)")
        .arg(OverflowCentimetres(largest), SlipModelName(model));
}

namespace {

QString fieldNames(const Overflow& overflow)
{
    QStringList names;
    for (SlipField field : overflow.fields)
        names.append(SlipFieldName(field));
    return names.join(QStringLiteral(" e "));
}

QString partName(SlipPart part)
{
    switch (part) {
    case SlipPart::Receipt:
        return QStringLiteral("nella ricevuta");
    case SlipPart::Payment:
        return QStringLiteral("nella parte di accredito");
    case SlipPart::CodeLine:
        return QStringLiteral("nella riga di codice");
    }
    return {};
}

QString obstacleName(const Overflow& overflow)
{
    switch (overflow.obstacle) {
    case OverflowObstacle::OtherPart:
        return QStringLiteral("oltre la linea che divide le due parti");
    case OverflowObstacle::FixedText: {
        QString caption = overflow.obstacleText;
        if (caption.size() > 30)
            caption = caption.left(29).trimmed() + QStringLiteral("\u2026");
        return QStringLiteral("sopra la scritta \u00ab%1\u00bb").arg(caption);
    }
    case OverflowObstacle::SlipEdge:
        return QStringLiteral("oltre il bordo del bollettino");
    case OverflowObstacle::NextCodePiece:
        return QStringLiteral("sopra il pezzo seguente della riga di codice");
    case OverflowObstacle::Line:
        return QStringLiteral("sopra una linea del bollettino");
    case OverflowObstacle::Picture:
        return QStringLiteral("sopra il simbolo dell'euro");
    }
    return {};
}

} // namespace

QString OverflowDescription(const Overflow& overflow)
{
    QString howMuch = QStringLiteral("%1 cm di troppo").arg(OverflowCentimetres(overflow.excess));
    if (overflow.linesTooMany == 1)
        howMuch = QStringLiteral("1 riga di troppo");
    else if (overflow.linesTooMany > 1)
        howMuch = QStringLiteral("%1 righe di troppo").arg(overflow.linesTooMany);
    return QStringLiteral("%1, %2: %3, %4")
        .arg(fieldNames(overflow), partName(overflow.part), howMuch, obstacleName(overflow));
}

QString OverflowQuestion(SlipModel model, const std::vector<Overflow>& overflows)
{
    // One line a text, however many places it is printed in: the most it runs over, in centimetres as
    // its field's tool tip says it, then where it runs over what.
    struct Text {
        QList<SlipField> fields;
        double excess = 0;
        QStringList places;
    };
    std::vector<Text> texts;
    for (const Overflow& overflow : overflows) {
        auto found = std::find_if(texts.begin(), texts.end(),
                                  [&overflow](const Text& text) { return text.fields == overflow.fields; });
        if (found == texts.end()) {
            texts.push_back({overflow.fields, overflow.excess, {}});
            found = texts.end() - 1;
        }
        found->excess = std::max(found->excess, overflow.excess);
        const QString place = partName(overflow.part) + QStringLiteral(", ") + obstacleName(overflow);
        if (!found->places.contains(place))
            found->places.append(place);
    }
    QStringList lines;
    for (const Text& text : texts) {
        Overflow named;
        named.fields = text.fields;
        lines.append(QStringLiteral("\u2022 %1: troppo lungo di %2 cm (%3)")
                         .arg(fieldNames(named), OverflowCentimetres(text.excess),
                              text.places.join(QStringLiteral("; "))));
    }
    return QStringLiteral("Alcuni testi sono troppo lunghi per il bollettino \u00ab%1\u00bb e sulla carta "
                          "finirebbero fuori dal loro spazio:\n\n%2\n\nStampare comunque?")
        .arg(SlipModelName(model), lines.join(QLatin1Char('\n')));
}

bool ComposeMarkedPage(PainterSurface& surface, const PageComposer& compose,
                       const std::vector<Overflow>& overflows)
{
    surface.PageSetUp();
    compose(surface);
    for (const Overflow& overflow : overflows)
        surface.DrawOutline(overflow.area, OverflowMarkColour);
    return surface.EndDocument();
}
