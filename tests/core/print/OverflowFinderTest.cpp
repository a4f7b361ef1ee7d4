// SPDX-License-Identifier: GPL-3.0-or-later

#include "SampleSlip.h"
#include "core/print/Overflow.h"
#include "core/print/PainterSurface.h"

#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

// Every expected width below is worked out by hand from the advance widths of Arial (Liberation
// Sans has the same ones), in units of 1/2048 of the point size:
//   bold "M" 1706, digits 1139 (regular and bold), "," 569, "+" "<" ">" 1196 (bold),
//   regular "di Euro" 1139+455+569+1366+1139+682+1139 = 6489, bold "T" 1251, "D" 1479, space 569.
// A unit at 9 pt is 9/2048 pt = 0.000155029 cm, so a bold "M" at 9 pt is 0.26448 cm and a digit
// 0.17658 cm. At 1200 dpi Qt draws whole pixels: 9 pt is exactly 150 px, 8 pt 133 px (0.25 %
// under the nominal size), 11 pt 183 px (0.18 % under); where that matters it is noted.
// Heights: ascent 1854 and capital height 1409 units: the capitals of a text whose cell starts at
// y stand from y + 445/2048 em down to its baseline at y + 1854/2048 em.
// The slip's own places are those of its drawing: dividers at 8.3 and 12.4 cm, premarcati frame
// at 24.7 cm, the sheet's edge at 29.7 cm, code-line pieces starting at 16.8, 20.5, 23.2
// (premarcati) and 21.5, 24.4, 27.0 (2 frame).

namespace {

constexpr double Tolerance = 0.01; // 0.1 mm
constexpr double Fits = -1;

QString repeated(QChar character, int count)
{
    return QString(count, character);
}

// A slip with only the given field filled.
SlipTexts only(SlipField field, const QString& text)
{
    SlipTexts fields;
    fields[field] = text;
    return fields;
}

// The overflow found in part of the slip; with one field filled, a part prints it once.
const Overflow* inPart(const std::vector<Overflow>& found, SlipPart part)
{
    for (const Overflow& overflow : found) {
        if (overflow.part == part)
            return &overflow;
    }
    return nullptr;
}

} // namespace

Q_DECLARE_METATYPE(SlipModel)
Q_DECLARE_METATYPE(OverflowObstacle)
Q_DECLARE_METATYPE(SlipPart)

class OverflowFinderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oneLineTexts_data();
    void oneLineTexts();
    void reasonLines_data();
    void reasonLines();
    void ordinarySlipsFit_data();
    void ordinarySlipsFit();
    void codeLineOnlyWhenWanted();
    void whatTheUserReads();
    void marksOnThePreviewOnly();

private:
    OverflowFinder m_finder;
};

void OverflowFinderTest::oneLineTexts_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<SlipTexts>("fields");
    QTest::addColumn<SlipPart>("part");
    QTest::addColumn<OverflowObstacle>("obstacle");
    QTest::addColumn<QString>("obstacleText");
    QTest::addColumn<double>("excess");

    const QChar m = u'M';
    const auto P = SlipModel::Premarcati;
    const auto T = SlipModel::TwoFrame;
    const auto R = SlipPart::Receipt;
    const auto A = SlipPart::Payment;
    const auto C = SlipPart::CodeLine;
    const auto other = OverflowObstacle::OtherPart;
    const auto edge = OverflowObstacle::SlipEdge;
    const auto piece = OverflowObstacle::NextCodePiece;
    const auto text = OverflowObstacle::FixedText;

    // Premarcati receipt payee from 2.1 to the divider at 8.3: 6.2 cm. 23 M = 6.083, 24 M = 6.347.
    QTest::newRow("premarcati receipt payee just fits")
        << P << only(PayeeLine1, repeated(m, 23)) << R << other << QString() << Fits;
    QTest::newRow("premarcati receipt payee crosses into the payment part")
        << P << only(PayeeLine1, repeated(m, 24)) << R << other << QString() << 0.147;
    // A real payee of the length that crosses the divider (about 34 capitals), its advance widths
    // summed by hand (the page is printed without pair kerning), bold 9 pt:
    // C1479 O1593 N1479 S1366 O1593 R1479 Z1251 I569 O1593 = 12402; space 569; D1479 I569 = 2048;
    // space 569; B1479 O1593 N1479 I569 F1251 I569 C1479 A1479 = 9898; space 569;
    // D1479 E1366 L1251 L1251 A1479 = 6826; space 569; P1366 I569 A1479 N1479 U1479 R1479 A1479 = 9330
    // total 42780 units = 6.632 cm: from 2.1 it ends at 8.732, 0.432 past the divider.
    QTest::newRow("premarcati receipt payee of 35 capitals")
        << P << only(PayeeLine2, u"CONSORZIO DI BONIFICA DELLA PIANURA"_s) << R << other << QString()
        << 0.432;
    // Premarcati payment payer from 15.6 to the frame at 24.7: 9.1 cm. 34 M = 8.992, 35 M = 9.257.
    QTest::newRow("premarcati payment payer just fits")
        << P << only(PayerName, repeated(m, 34)) << A << edge << QString() << Fits;
    QTest::newRow("premarcati payment payer past the frame")
        << P << only(PayerName, repeated(m, 35)) << A << edge << QString() << 0.157;
    // Code-line pieces longer than usual are moved apart where they are drawn (SlipPdfTest reads
    // them back): at its design place a 12-digit account piece would run 0.111 cm into the type
    // piece, a 6-digit type piece 0.019 cm past the frame. Nothing is reported for them.
    QTest::newRow("premarcati account piece of 12 digits, moved apart")
        << P << only(AccountNumber, u"123456789012"_s) << C << piece << QString() << Fits;
    QTest::newRow("premarcati type piece of 6 digits, pulled back within the frame")
        << P << only(DocumentType, u"123456"_s) << C << edge << QString() << Fits;
    // Premarcati receipt amount, right edge 4.0, against "di Euro" at 1.1: 6489 units at 8 pt,
    // 0.892 cm drawn, so "di Euro" ends at 1.992. 123456789,00 = 13098 units = 2.031 cm: starts at
    // 1.969, 0.023 into "di Euro"; one digit less starts at 2.146.
    QTest::newRow("premarcati receipt amount of 8 digits fits")
        << P << only(Amount, u"12345678,00"_s) << R << text << u"di Euro"_s << Fits;
    QTest::newRow("premarcati receipt amount 123456789,00 touches di Euro")
        << P << only(Amount, u"123456789,00"_s) << R << text << u"di Euro"_s << 0.023;

    // 2 frame payment payee from 14.0 to the sheet's edge at 29.7: 15.7 cm. 59 M = 15.604, 60 M = 15.869.
    QTest::newRow("2 frame payment payee just fits")
        << T << only(PayeeLine1, repeated(m, 59)) << A << edge << QString() << Fits;
    QTest::newRow("2 frame payment payee past the sheet's edge")
        << T << only(PayeeLine1, repeated(m, 60)) << A << edge << QString() << 0.169;
    // 2 frame receipt payer from 1.0 to the divider at 12.4: 11.4 cm. 43 M = 11.373, 44 M = 11.637.
    QTest::newRow("2 frame receipt payer just fits")
        << T << only(PayerName, repeated(m, 43)) << R << other << QString() << Fits;
    QTest::newRow("2 frame receipt payer crosses into the payment part")
        << T << only(PayerName, repeated(m, 44)) << R << other << QString() << 0.237;
    // At their design places a 12-digit account piece would end at 27.211, 0.211 into the type piece,
    // and 1234567890+00> at 24.538, 0.138 into the account piece; they are moved apart instead.
    QTest::newRow("2 frame account piece of 12 digits, moved apart")
        << T << only(AccountNumber, u"123456789012"_s) << C << piece << QString() << Fits;
    QTest::newRow("2 frame amount piece of 10 integer digits, moved apart")
        << T << only(Amount, u"1234567890,00"_s) << C << piece << QString() << Fits;
    // 2 frame document-type mark from 13.1 against "IMPORTO IN LETTERE" at 15.5 (same height):
    // "TD    " = 1251+1479+4*569 = 5006 units; 6 digits: 11840 units = 2.243 cm, ends 15.343;
    // 7 digits: 12979 units = 2.459 nominal, 2.455 drawn, ends 15.555.
    QTest::newRow("2 frame mark of 6 digits fits")
        << T << only(DocumentType, u"123456"_s) << A << text << u"IMPORTO IN LETTERE"_s << Fits;
    QTest::newRow("2 frame mark of 7 digits runs over IMPORTO IN LETTERE")
        << T << only(DocumentType, u"1234567"_s) << A << text << u"IMPORTO IN LETTERE"_s << 0.055;
    // 2 frame receipt amount, right edge 11.5, against "di Euro" at 6.3 (ends 7.192): 4.308 cm.
    // 21 integer digits ",00": 26766 units = 4.150 cm, starts 7.350; 22 digits: 27905 units =
    // 4.326 cm, starts 7.174.
    QTest::newRow("2 frame receipt amount of 21 digits fits")
        << T << only(Amount, u"123456789012345678901,00"_s) << R << text << u"di Euro"_s << Fits;
    QTest::newRow("2 frame receipt amount of 22 digits runs into di Euro")
        << T << only(Amount, u"1234567890123456789012,00"_s) << R << text << u"di Euro"_s << 0.018;
}

void OverflowFinderTest::oneLineTexts()
{
    QFETCH(SlipModel, model);
    QFETCH(SlipTexts, fields);
    QFETCH(SlipPart, part);
    QFETCH(OverflowObstacle, obstacle);
    QFETCH(QString, obstacleText);
    QFETCH(double, excess);

    const std::vector<Overflow> found = m_finder.find(model, fields, true);
    const Overflow* overflow = inPart(found, part);
    if (excess == Fits) {
        QVERIFY2(!overflow, qPrintable(overflow ? OverflowDescription(*overflow) : QString()));
        return;
    }
    QVERIFY(overflow);
    QCOMPARE(overflow->part, part);
    QCOMPARE(overflow->obstacle, obstacle);
    QCOMPARE(overflow->obstacleText, obstacleText);
    QCOMPARE(overflow->linesTooMany, 0);
    QVERIFY2(qAbs(overflow->excess - excess) <= Tolerance,
             qPrintable(u"excess %1, expected %2"_s.arg(overflow->excess).arg(excess)));
}

void OverflowFinderTest::reasonLines_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<SlipPart>("part");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("linesTooMany");
    QTest::addColumn<double>("excess");

    const QChar m = u'M';
    // Bold "M" at 8 pt: 1706 units, 0.2345 cm drawn (133 px).
    // 2 frame receipt: x 1.0, limit 10.0: 42 M = 9.849, 43 M = 10.083, so 43 M a line, lines at
    // 3.7, 4.0, 4.3, 4.6. "ESEGUITO DA" at (0.2, 4.8), 6 pt, spans 0.2 to 1.65; its capitals start at
    // 4.8 + 445/2048 * 6 pt = 4.846. The fourth line's baseline is at 4.6 + 0.2549 = 4.855: it
    // prints over the caption. The third line's baseline is at 4.555, clear of it.
    QTest::newRow("2 frame receipt: three lines fit")
        << SlipModel::TwoFrame << repeated(m, 129) << SlipPart::Receipt << QString() << 0 << Fits;
    QTest::newRow("2 frame receipt: a fourth line runs over ESEGUITO DA")
        << SlipModel::TwoFrame << repeated(m, 130) << SlipPart::Receipt << u"ESEGUITO DA"_s << 1 << 0.234;
    // 2 frame payment: x 14.0, limit 14.0: 60 M a line (59 M = 13.835). "ESEGUITO DA" at
    // (18.0, 4.8): a fourth line of 16 M ends at 17.752, one of 18 M at 18.221.
    QTest::newRow("2 frame payment: a short fourth line ends before ESEGUITO DA")
        << SlipModel::TwoFrame << repeated(m, 180 + 16) << SlipPart::Payment << QString() << 0 << Fits;
    QTest::newRow("2 frame payment: a longer fourth line reaches ESEGUITO DA")
        << SlipModel::TwoFrame << repeated(m, 180 + 18) << SlipPart::Payment << u"ESEGUITO DA"_s << 1
        << 4.221;
    // Premarcati receipt: x 2.1, limit 5.5: 24 M a line (23 M = 5.393, 24 M = 5.628), lines at
    // 4.55 + 0.3 k. The stamp caption at (4.0, 7.8), 6 pt: capitals from 7.846. The eleventh line's
    // baseline is at 7.55 + 0.255 = 7.805, clear; the twelfth, at 7.85, runs over it if it reaches
    // x 4.0: 7 M end at 3.741, 9 M at 4.210.
    QTest::newRow("premarcati receipt: a short twelfth line stays left of the stamp caption")
        << SlipModel::Premarcati << repeated(m, 11 * 24 + 7) << SlipPart::Receipt << QString() << 0 << Fits;
    QTest::newRow("premarcati receipt: the twelfth line runs over the stamp caption")
        << SlipModel::Premarcati << repeated(m, 11 * 24 + 9) << SlipPart::Receipt
        << u"BOLLO DELL'UFFICIO POSTALE"_s << 1 << 2.110;
    // Premarcati payment: x 15.6, limit 7.5, lines at 6.0 + 0.3 k. Bold "W" at 8 pt: 1933 units,
    // 0.2657 cm: 28 W = 7.440, 29 W = 7.706, so 29 W a line. "Importante  non  scrivere ..." at
    // (15.0, 7.8), 7 pt bold, capitals from 7.8 + 445/2048 * 7 pt = 7.854: the sixth line (7.5,
    // baseline 7.755) stays above it, a seventh (7.8) is on it. 4 W = 1.063 cm.
    const QChar w = u'W';
    QTest::newRow("premarcati payment: six lines fit")
        << SlipModel::Premarcati << repeated(w, 6 * 29) << SlipPart::Payment << QString() << 0 << Fits;
    QTest::newRow("premarcati payment: a seventh line runs over the notice")
        << SlipModel::Premarcati << repeated(w, 6 * 29 + 4) << SlipPart::Payment
        << u"Importante non scrivere nella zona sottostante!"_s << 1 << 1.063;
}

void OverflowFinderTest::reasonLines()
{
    QFETCH(SlipModel, model);
    QFETCH(QString, reason);
    QFETCH(SlipPart, part);
    QFETCH(QString, caption);
    QFETCH(int, linesTooMany);
    QFETCH(double, excess);

    const std::vector<Overflow> found = m_finder.find(model, only(PaymentReason, reason), true);
    const Overflow* overflow = inPart(found, part);
    if (excess == Fits) {
        QVERIFY2(!overflow, qPrintable(overflow ? OverflowDescription(*overflow) : QString()));
        return;
    }
    QVERIFY(overflow);
    QVERIFY(overflow->fields == QList<SlipField>{PaymentReason});
    QCOMPARE(overflow->obstacle, OverflowObstacle::FixedText);
    QCOMPARE(overflow->obstacleText, caption);
    QCOMPARE(overflow->linesTooMany, linesTooMany);
    QVERIFY2(qAbs(overflow->excess - excess) <= Tolerance,
             qPrintable(u"excess %1, expected %2"_s.arg(overflow->excess).arg(excess)));
}

void OverflowFinderTest::ordinarySlipsFit_data()
{
    QTest::addColumn<SlipModel>("model");
    QTest::addColumn<SlipTexts>("fields");
    QTest::newRow("premarcati, sample slip") << SlipModel::Premarcati << SampleSlip();
    QTest::newRow("2 frame, sample slip") << SlipModel::TwoFrame << SampleSlip();
    QTest::newRow("premarcati, empty slip") << SlipModel::Premarcati << EmptySlip();
    QTest::newRow("2 frame, empty slip") << SlipModel::TwoFrame << EmptySlip();
    // Long but ordinary: every field near what a careful user types, nothing past its place.
    SlipTexts busy = SampleSlip();
    busy[PayerName] = u"Maria Giovanna Bianchi"_s;
    busy[PayerAddress] = u"Via Roma 128/B"_s;
    busy[PayeeLine1] = u"Agenzia delle Entrate"_s;
    busy[Amount] = u"98765,43"_s;
    busy[PaymentReason] = u"Saldo fattura 2026/118 del 12 marzo"_s;
    QTest::newRow("premarcati, long but ordinary slip") << SlipModel::Premarcati << busy;
    QTest::newRow("2 frame, long but ordinary slip") << SlipModel::TwoFrame << busy;
}

// Where nothing overflows, nothing is reported: no false alarm from the layout's own texts.
void OverflowFinderTest::ordinarySlipsFit()
{
    QFETCH(SlipModel, model);
    QFETCH(SlipTexts, fields);
    const std::vector<Overflow> found = m_finder.find(model, fields, true);
    QStringList described;
    for (const Overflow& overflow : found)
        described.append(OverflowDescription(overflow));
    QCOMPARE(described, QStringList());
}

// Without the code line its pieces are not printed, so they cannot overflow; the account still
// prints in both parts and is still checked there.
void OverflowFinderTest::codeLineOnlyWhenWanted()
{
    SlipTexts fields = only(AccountNumber, u"123456789012"_s);
    QVERIFY(!inPart(m_finder.find(SlipModel::TwoFrame, fields, false), SlipPart::CodeLine));

    // 41 digits at 9 pt bold = 7.240 cm: the premarcati receipt account from 1.5 reaches 8.740.
    fields[AccountNumber] = repeated(u'7', 41);
    const std::vector<Overflow> found = m_finder.find(SlipModel::Premarcati, fields, false);
    const Overflow* receipt = inPart(found, SlipPart::Receipt);
    QVERIFY(receipt);
    QCOMPARE(receipt->obstacle, OverflowObstacle::OtherPart);
    QVERIFY(qAbs(receipt->excess - 0.440) <= Tolerance);
    QVERIFY(receipt->fields == QList<SlipField>{AccountNumber});
}

// The tool tip and the question before printing, built from what the finder reports.
void OverflowFinderTest::whatTheUserReads()
{
    QCOMPARE(OverflowCentimetres(0.023), u"0,1"_s);
    QCOMPARE(OverflowCentimetres(1.2), u"1,2"_s);
    QCOMPARE(OverflowCentimetres(1.21), u"1,3"_s);

    SlipTexts fields;
    fields[PayerTown] = repeated(u'M', 40); // postcode and town in one text: both fields are marked
    // 41 digits at 9 pt bold = 7.240 cm: the receipt account from 1.5 reaches 8.740, 0.440 past the
    // divider. (Its code-line piece is moved apart from the others and not reported.)
    fields[AccountNumber] = repeated(u'7', 41);
    const std::vector<Overflow> found = m_finder.find(SlipModel::Premarcati, fields, true);
    // Town in the receipt: "   " (3 * 569) and 40 M (68240) = 69947 units = 10.844 cm from 2.1,
    // 4.644 past the divider; in the payment part from 15.6 to 26.444, 1.744 past the frame.
    QCOMPARE(OverflowToolTip(SlipModel::Premarcati, found, PayerTown),
             u"Troppo lungo di 4,7 cm per la stampa (premarcati)"_s);
    QCOMPARE(OverflowToolTip(SlipModel::Premarcati, found, PayerPostcode),
             u"Troppo lungo di 4,7 cm per la stampa (premarcati)"_s);
    QCOMPARE(OverflowToolTip(SlipModel::Premarcati, found, AccountNumber),
             u"Troppo lungo di 0,5 cm per la stampa (premarcati)"_s);
    QCOMPARE(OverflowToolTip(SlipModel::Premarcati, found, PayerName), QString());

    const QString question = OverflowQuestion(SlipModel::Premarcati, found);
    QVERIFY(question.contains(u"\u00abpremarcati\u00bb"_s));
    // Each text once, the most it runs over in the tool tip's unit, then every place it does.
    QVERIFY2(
        question.contains(u"\u2022 C.A.P. e Citt\u00e0: troppo lungo di 4,7 cm (nella ricevuta, oltre la "
                          u"linea che divide le due parti; nella parte di accredito, oltre il bordo del "
                          u"bollettino)\n"_s),
        qPrintable(question));
    QVERIFY2(
        question.contains(u"\u2022 Numero di conto: troppo lungo di 0,5 cm (nella ricevuta, oltre la linea "
                          u"che divide le due parti"_s),
        qPrintable(question));
    QCOMPARE(question.count(u"C.A.P. e Citt\u00e0"_s), 1);
    QVERIFY(question.endsWith(u"Stampare comunque?"_s));
}

namespace {

// The page at 100 dpi: A4 landscape, 1169 x 827 pixels, white.
QImage blankPage()
{
    QImage image(1169, 827, QImage::Format_RGB32);
    image.setDotsPerMeterX(3937);
    image.setDotsPerMeterY(3937);
    image.fill(Qt::white);
    return image;
}

// The smallest rectangle holding every clearly red pixel; empty when there is none.
QRect redArea(const QImage& image)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 90 && c.blue() < 90)
                found |= QRect(x, y, 1, 1);
        }
    }
    return found;
}

} // namespace

// The preview outlines what overflows; the same composer alone draws no mark.
void OverflowFinderTest::marksOnThePreviewOnly()
{
    const QImage euro(u":/euro.png"_s);
    const SlipTexts fields = only(PayerName, repeated(u'M', 35));
    const std::vector<Overflow> found = m_finder.find(SlipModel::Premarcati, fields, true);
    const PageComposer page = [&](PrintSurface& surface) {
        DrawSlipModel(surface, SlipModel::Premarcati, fields, true, euro);
    };

    QImage marked = blankPage();
    {
        PainterSurface surface(marked);
        QVERIFY(ComposeMarkedPage(surface, page, found));
    }
    // 35 M in the receipt from 2.1 run past the divider, in the payment part from 15.6 past the
    // frame at 24.7 (to 24.857): two outlines, the right one ending just after 24.86 cm = 979 px.
    const QRect red = redArea(marked);
    QVERIFY(!red.isEmpty());
    QVERIFY2(qAbs(red.left() - 83) <= 2, qPrintable(QString::number(red.left())));    // 2.1 cm
    QVERIFY2(qAbs(red.right() - 979) <= 3, qPrintable(QString::number(red.right()))); // 24.86 cm
    QVERIFY2(red.top() >= 124 && red.bottom() <= 183,
             qPrintable(u"%1 %2"_s.arg(red.top()).arg(red.bottom())));

    QImage printed = blankPage();
    {
        PainterSurface surface(printed);
        QVERIFY(ComposePage(surface, page));
    }
    QVERIFY(redArea(printed).isEmpty());
    // Where nothing overflows the preview is the printed page, pixel for pixel.
    QImage clean = blankPage();
    {
        PainterSurface surface(clean);
        QVERIFY(ComposeMarkedPage(surface, page, {}));
    }
    QCOMPARE(clean, printed);
}

QTEST_MAIN(OverflowFinderTest)
#include "OverflowFinderTest.moc"
