// SPDX-License-Identifier: GPL-3.0-or-later

// The two slip models as they are drawn: each model's drawing of the sample slip against a reviewed
// file in data/ (one line per drawn item), and what every drawing must hold whatever its fields: the
// whole of it on the A4 sheet, the receipt and the payment part both there, no text over another.
//
// After a deliberate change of a layout, rewrite the files and review them (git diff, and the pictures
// of scripts/render-slips):
//     CEDOLARIO_WRITE_LAYOUTS=1 ctest --test-dir build/dev -R SlipLayoutTest
#include "core/print/SlipLayout.h"
#include "RecordingSurface.h"
#include "SampleSlip.h"
#include "core/print/PainterSurface.h"
#include "core/print/PrintFont.h"
#include "core/print/PrintPage.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QLineF>
#include <QRectF>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

using Call = RecordingSurface::Call;
using Operation = RecordingSurface::Operation;

// The sheet, landscape, in centimetres.
constexpr double SheetWidth = 29.7, SheetHeight = 21.0;

QString layoutFile(SlipModel model)
{
    return QStringLiteral(LAYOUT_DATA_DIR "/slip-%1.txt")
        .arg(model == SlipModel::Premarcati ? u"premarcati"_s : u"2frame"_s);
}

// The drawing with every character 0.2 cm wide: the same on every system, whatever its fonts.
std::vector<Call> drawn(SlipModel model, const SlipTexts& fields, bool codeLine, double characterWidth = 0.2)
{
    RecordingSurface surface;
    surface.characterWidth = characterWidth;
    DrawSlipModel(surface, model, fields, codeLine, QImage(u":/euro.png"_s));
    return surface.calls;
}

QStringList described(const std::vector<Call>& calls)
{
    QStringList lines;
    for (const Call& call : calls)
        lines << RecordingSurface::describe(call);
    return lines;
}

// An item's place on the sheet; a text's from its width and the height its letters' ink takes, from the
// top of a capital to the bottom of a descender, in the printing font.
struct Placed {
    Call call;
    QRectF box;
};

std::vector<Placed> placed(SlipModel model, const SlipTexts& fields)
{
    constexpr int Dpi = 300;
    QImage page(10, 10, QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(Dpi / 0.0254));
    page.setDotsPerMeterY(qRound(Dpi / 0.0254));
    PainterSurface measurer(page);
    RecordingSurface surface(&measurer);
    surface.PageSetUp();
    DrawSlipModel(surface, model, fields, true, QImage(u":/euro.png"_s));
    std::vector<Placed> items;
    for (const Call& call : surface.calls) {
        Placed item{call, {}};
        switch (call.operation) {
        case Operation::PrintAt: {
            const QFontMetricsF metrics(PrintFont(call.size, call.bold), &page);
            const double cm = 2.54 / Dpi;
            const double top = call.y1 + (metrics.ascent() - metrics.capHeight()) * cm;
            const double bottom = call.y1 + (metrics.ascent() + metrics.descent()) * cm;
            item.box = QRectF(call.x1, top, metrics.horizontalAdvance(call.text) * cm, bottom - top);
            break;
        }
        case Operation::DrawPicture:
            item.box = QRectF(call.x1, call.y1, call.x2, call.y2);
            break;
        case Operation::DrawLine:
        case Operation::DrawFilledBox:
            item.box = QRectF(QPointF(call.x1, call.y1), QPointF(call.x2, call.y2)).normalized();
            break;
        case Operation::PageSetUp:
        case Operation::EndDocument:
            continue;
        }
        items.push_back(item);
    }
    return items;
}

// The solid vertical line from the top of the slip to its bottom that parts receipt from payment.
std::optional<QLineF> dividerOf(const std::vector<Placed>& items)
{
    for (const Placed& item : items) {
        const Call& c = item.call;
        if (c.operation == Operation::DrawLine && c.style == LineStyle::Solid && c.x1 == c.x2 &&
            std::abs(c.y2 - c.y1) > 9)
            return QLineF(c.x1, c.y1, c.x2, c.y2);
    }
    return std::nullopt;
}

// A slip whose every field is long: what the user may type at most in each.
SlipTexts longSlip()
{
    SlipTexts fields;
    fields[PayerName] = u"Wolfgang Amadeus Mozart Salisburghese"_s;
    fields[PayerAddress] = u"Viale della Repubblica Italiana 1234"_s;
    fields[PayerPostcode] = u"00100"_s;
    fields[PayerTown] = u"Castelnuovo di Garfagnana"_s;
    fields[Amount] = u"999999999999,99"_s;
    fields[AmountWords] = u"novecentonovantanovemiliardinovecentonovantanovemilioni/99"_s;
    fields[PayeeLine1] = u"Associazione Nazionale dei Comuni"_s;
    fields[PayeeLine2] = u"Servizio Tributi e Riscossioni"_s;
    fields[PayeeLine3] = u"Piazza Vittorio Emanuele II 1"_s;
    fields[AccountNumber] = u"123456789012"_s;
    fields[PaymentReason] = u"Tassa"_s;
    fields[DocumentType] = u"896"_s;
    return fields;
}

QString joined(const QStringList& lines)
{
    return lines.join(QString());
}

} // namespace

class SlipLayoutTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matchesTheReviewedDrawing_data();
    void matchesTheReviewedDrawing();
    void everythingOnTheSheet_data();
    void everythingOnTheSheet();
    void bothPartsHoldTheFields_data();
    void bothPartsHoldTheFields();
    void noTextOverAnother_data();
    void noTextOverAnother();
    void codeLineLeftOut_data();
    void codeLineLeftOut();
    void emptyFieldsKeepTheForm_data();
    void emptyFieldsKeepTheForm();
    void reasonWrapsInsideItsPart_data();
    void reasonWrapsInsideItsPart();
    void amountsEndAtOneEdge_data();
    void amountsEndAtOneEdge();
    void chosenModel_data();
    void chosenModel();
    void codeLineWanted_data();
    void codeLineWanted();
    void wholePage();
};

namespace {

void addModels()
{
    QTest::addColumn<SlipModel>("model");
    QTest::newRow("2 frame") << SlipModel::TwoFrame;
    QTest::newRow("premarcati") << SlipModel::Premarcati;
}

// The sample and the empty slip; with longOnes, the slip of long fields too, which may well run a field
// into a caption (the overflow finder warns of that before printing) but never off the sheet.
void addModelsAndSlips(bool longOnes)
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<SlipTexts>("fields");
    for (const auto& [model, name] :
         {std::pair{SlipModel::TwoFrame, "2 frame"}, {SlipModel::Premarcati, "premarcati"}}) {
        QTest::addRow("%s, sample", name) << model << SampleSlip();
        QTest::addRow("%s, empty", name) << model << EmptySlip();
        if (longOnes)
            QTest::addRow("%s, every field long", name) << model << longSlip();
    }
}

} // namespace

void SlipLayoutTest::matchesTheReviewedDrawing_data()
{
    addModels();
}

void SlipLayoutTest::matchesTheReviewedDrawing()
{
    QFETCH(SlipModel, model);
    const QStringList lines = described(drawn(model, SampleSlip(), true));
    const QString path = layoutFile(model);
    QFile file(path);
    if (qEnvironmentVariableIsSet("CEDOLARIO_WRITE_LAYOUTS")) {
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(file.errorString()));
        file.write((lines.join(u'\n') + u'\n').toUtf8());
        QVERIFY(file.flush());
        QSKIP(qPrintable(u"%1 rewritten: review it before committing"_s.arg(path)));
    }
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path + u": "_s + file.errorString()));
    const QStringList reviewed = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < std::min(lines.size(), reviewed.size()); ++i) {
        QVERIFY2(lines[i] == reviewed[i], qPrintable(u"%1:%2\n   drawn: %3\nreviewed: %4"_s.arg(
                                              path, QString::number(i + 1), lines[i], reviewed[i])));
    }
    QCOMPARE(lines.size(), reviewed.size());
}

void SlipLayoutTest::everythingOnTheSheet_data()
{
    addModelsAndSlips(true);
}

void SlipLayoutTest::everythingOnTheSheet()
{
    QFETCH(SlipModel, model);
    QFETCH(SlipTexts, fields);
    constexpr double Hair = 1e-4; // float coordinates against double edges
    for (const Placed& item : placed(model, fields)) {
        const QRectF& box = item.box;
        QVERIFY2(box.left() >= -Hair && box.top() >= -Hair && box.right() <= SheetWidth + Hair &&
                     box.bottom() <= SheetHeight + Hair,
                 qPrintable(RecordingSurface::describe(item.call)));
    }
}

void SlipLayoutTest::bothPartsHoldTheFields_data()
{
    addModels();
}

void SlipLayoutTest::bothPartsHoldTheFields()
{
    QFETCH(SlipModel, model);
    const SlipTexts fields = SampleSlip();
    const std::vector<Placed> items = placed(model, fields);
    const std::optional<QLineF> line = dividerOf(items);
    QVERIFY(line);
    const double divider = line->x1(), slipBottom = std::max(line->y1(), line->y2());
    QStringList receipt, payment;
    for (const Placed& item : items) {
        // The cutting instructions under the slip run across the sheet.
        if (item.call.operation != Operation::PrintAt || item.box.top() > slipBottom)
            continue;
        // A text on the slip stands wholly on one side of the divider.
        QVERIFY2(item.box.right() <= divider || item.box.left() >= divider,
                 qPrintable(RecordingSurface::describe(item.call)));
        (item.box.left() < divider ? receipt : payment) << item.call.text;
    }
    QVERIFY(receipt.join(u'\n').contains(u"Ricevuta di Versamento"_s));
    QVERIFY(payment.join(u'\n').contains(u"Ricevuta di Accredito"_s));
    // What the payer and the post office each keep: the same payer, payee, account, amount and reason.
    for (SlipField field :
         {PayerName, PayerAddress, PayerTown, PayeeLine1, PayeeLine2, PayeeLine3, AccountNumber, Amount}) {
        const QString value = fields[field];
        QVERIFY2(receipt.join(u'\n').contains(value), qPrintable(u"receipt without "_s + value));
        QVERIFY2(payment.join(u'\n').contains(value), qPrintable(u"payment without "_s + value));
    }
    // The reason may be wrapped differently in each part, but is there whole in both.
    const auto reasonIn = [](const QStringList& texts) {
        QString all;
        for (const QString& text : texts) {
            if (SampleSlip()[PaymentReason].contains(text.trimmed()) && !text.trimmed().isEmpty())
                all += text;
        }
        return all.simplified();
    };
    QCOMPARE(reasonIn(receipt), fields[PaymentReason]);
    QCOMPARE(reasonIn(payment), fields[PaymentReason]);
}

void SlipLayoutTest::noTextOverAnother_data()
{
    addModelsAndSlips(false);
}

void SlipLayoutTest::noTextOverAnother()
{
    QFETCH(SlipModel, model);
    QFETCH(SlipTexts, fields);
    std::vector<Placed> texts;
    for (const Placed& item : placed(model, fields)) {
        if (item.call.operation == Operation::PrintAt && !item.call.text.trimmed().isEmpty())
            texts.push_back(item);
    }
    // Touching is allowed, a hundredth of a millimetre either way.
    for (size_t i = 0; i < texts.size(); ++i) {
        for (size_t j = i + 1; j < texts.size(); ++j) {
            const QRectF overlap = texts[i].box.intersected(texts[j].box);
            QVERIFY2(overlap.width() < 0.001 || overlap.height() < 0.001,
                     qPrintable(RecordingSurface::describe(texts[i].call) + u"\n over "_s +
                                RecordingSurface::describe(texts[j].call)));
        }
    }
}

void SlipLayoutTest::codeLineLeftOut_data()
{
    addModels();
}

void SlipLayoutTest::codeLineLeftOut()
{
    QFETCH(SlipModel, model);
    // Without the code line the drawing loses its three pieces and nothing else; the document-type
    // mark stays.
    QStringList with = described(drawn(model, SampleSlip(), true));
    const QStringList without = described(drawn(model, SampleSlip(), false));
    for (const QString& piece : {u"|123>|"_s, u"|00001234+50>|"_s, u"|00012345<|"_s}) {
        const QStringList found = with.filter(piece);
        QCOMPARE(found.size(), 1);
        with.removeOne(found.front());
    }
    QCOMPARE(without, with);
    QCOMPARE(without.filter(u"|TD    123|"_s).size(), 1);
}

void SlipLayoutTest::emptyFieldsKeepTheForm_data()
{
    addModels();
}

void SlipLayoutTest::emptyFieldsKeepTheForm()
{
    QFETCH(SlipModel, model);
    // An empty slip is the blank form: every item of the filled one in the same order and font, where
    // it was; only the reason, which has no line to draw, is left out, and no filled-in text remains.
    const SlipTexts sample = SampleSlip();
    const std::vector<Call> empty = drawn(model, EmptySlip(), true);
    std::vector<Call> filled;
    for (const Call& call : drawn(model, sample, true)) {
        const bool reasonLine = call.operation == Operation::PrintAt && !call.text.isEmpty() &&
                                sample[PaymentReason].contains(call.text.trimmed());
        if (!reasonLine)
            filled.push_back(call);
    }
    QCOMPARE(empty.size(), filled.size());
    for (size_t i = 0; i < empty.size(); ++i) {
        const Call& e = empty[i];
        const Call& f = filled[i];
        const QString both = RecordingSurface::describe(e) + u"\n"_s + RecordingSurface::describe(f);
        QVERIFY2(e.operation == f.operation && e.size == f.size && e.bold == f.bold && e.colour == f.colour &&
                     e.y1 == f.y1,
                 qPrintable(both));
        // A right-aligned amount starts further right when empty; everything else stays put.
        QVERIFY2(e.x1 == f.x1 || f.text == sample[Amount], qPrintable(both));
        for (const QString& value : sample)
            QVERIFY2(value.isEmpty() || !e.text.contains(value), qPrintable(both));
    }
}

void SlipLayoutTest::reasonWrapsInsideItsPart_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<int>("length");
    QTest::addColumn<double>("characterWidth");
    QTest::newRow("2 frame, two lines a part") << SlipModel::TwoFrame << 60 << 0.3;
    QTest::newRow("premarcati, several lines a part") << SlipModel::Premarcati << 60 << 0.4;
    // 170 characters at 0.4 cm make 13 lines in the premarcati receipt: the last ones run over the
    // stamp caption and below the code-line zone, but none of the text is lost.
    QTest::newRow("premarcati, past the bottom of the slip") << SlipModel::Premarcati << 170 << 0.4;
}

void SlipLayoutTest::reasonWrapsInsideItsPart()
{
    QFETCH(SlipModel, model);
    QFETCH(int, length);
    QFETCH(double, characterWidth);
    SlipTexts fields;
    QString reason;
    for (int i = 0; i < length; ++i)
        reason += QChar(u'a' + i % 26);
    fields[PaymentReason] = reason;
    const std::vector<Call> calls = drawn(model, fields, true, characterWidth);
    float divider = -1, slipRight = 0;
    for (const Call& c : calls) {
        if (c.operation == Operation::DrawLine && c.style == LineStyle::Solid && c.x1 == c.x2 && divider < 0)
            divider = c.x1;
        if (c.operation == Operation::DrawLine)
            slipRight = std::max({slipRight, c.x1, c.x2});
    }
    QVERIFY(divider > 0);
    QStringList receipt, payment;
    float lastY = 0;
    for (const Call& c : calls) {
        if (c.operation != Operation::PrintAt || c.text.isEmpty() || !reason.contains(c.text))
            continue;
        const double right = c.x1 + characterWidth * c.text.size();
        if (c.x1 < divider) {
            QVERIFY2(right <= divider, qPrintable(RecordingSurface::describe(c)));
            receipt << c.text;
            lastY = std::max(lastY, c.y1);
        } else {
            QVERIFY2(right <= slipRight, qPrintable(RecordingSurface::describe(c)));
            payment << c.text;
        }
    }
    QCOMPARE(joined(receipt), reason);
    QCOMPARE(joined(payment), reason);
    QVERIFY(receipt.size() >= 2);
    QVERIFY(payment.size() >= 2);
    if (length == 170) {
        QCOMPARE(receipt.size(), 13);
        QVERIFY(lastY > 8.0);
    }
}

void SlipLayoutTest::amountsEndAtOneEdge_data()
{
    addModels();
}

void SlipLayoutTest::amountsEndAtOneEdge()
{
    QFETCH(SlipModel, model);
    // In each part the amount is right-aligned: short or long, it ends at the same edge.
    QList<double> rightEdges[2];
    for (const QString& amount : {u"0,50"_s, u"1234,50"_s, u"123456789012,34"_s}) {
        SlipTexts fields;
        fields[Amount] = amount;
        int part = 0;
        for (const Call& c : drawn(model, fields, false)) {
            if (c.operation == Operation::PrintAt && c.text == amount)
                rightEdges[part++].append(c.x1 + 0.2 * amount.size());
        }
        QCOMPARE(part, 2);
    }
    for (const QList<double>& edges : rightEdges) {
        for (double edge : edges)
            QVERIFY2(std::abs(edge - edges.front()) < 1e-4, qPrintable(QString::number(edge)));
    }
    QVERIFY(rightEdges[0].front() < rightEdges[1].front());
}

void SlipLayoutTest::chosenModel_data()
{
    QTest::addColumn<bool>("premarcati");
    QTest::addColumn<bool>("twoFrame");
    QTest::addColumn<int>("expected"); // -1: nothing is printed

    QTest::newRow("2 frame selected") << false << true << int(SlipModel::TwoFrame);
    QTest::newRow("premarcati selected") << true << false << int(SlipModel::Premarcati);
    QTest::newRow("both set by a recalled record: premarcati wins")
        << true << true << int(SlipModel::Premarcati);
    QTest::newRow("neither set by a recalled record") << false << false << -1;
}

void SlipLayoutTest::chosenModel()
{
    QFETCH(bool, premarcati);
    QFETCH(bool, twoFrame);
    QFETCH(int, expected);

    PaletteState state;
    state.premarcati = premarcati;
    state.twoFrame = twoFrame;
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    QCOMPARE(model ? int(*model) : -1, expected);
}

void SlipLayoutTest::codeLineWanted_data()
{
    QTest::addColumn<int>("check");
    QTest::addColumn<bool>("wanted");

    QTest::newRow("ticked") << 1 << true;
    QTest::newRow("not ticked") << 0 << false;
    QTest::newRow("greyed is not ticked") << 2 << false;
}

void SlipLayoutTest::codeLineWanted()
{
    QFETCH(int, check);
    QFETCH(bool, wanted);

    PaletteState state;
    state.check = CheckBoxState(check);
    QCOMPARE(CodeLineWanted(state), wanted);
}

void SlipLayoutTest::wholePage()
{
    // The page is set up, the slip drawn, the document ended: nothing more.
    RecordingSurface surface;
    const SlipTexts fields = SampleSlip();
    const QImage euro(u":/euro.png"_s);
    QVERIFY(ComposePage(surface, [&](PrintSurface& page) {
        DrawSlipModel(page, SlipModel::Premarcati, fields, true, euro);
    }));
    const QStringList expected = QStringList{u"PageSetUp"_s} +
                                 described(drawn(SlipModel::Premarcati, fields, true)) +
                                 QStringList{u"EndDocument"_s};
    QCOMPARE(surface.described(), expected);

    // A job that fails is reported as failed.
    RecordingSurface failing;
    failing.endResult = false;
    QVERIFY(!ComposePage(
        failing, [&](PrintSurface& page) { DrawSlipModel(page, SlipModel::TwoFrame, fields, true, euro); }));
}

QTEST_MAIN(SlipLayoutTest)
#include "SlipLayoutTest.moc"
