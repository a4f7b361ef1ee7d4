// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PrintRoutines.h"
#include "RecordingSurface.h"
#include "core/print/PainterSurface.h"

#include "core/slip/SlipText.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Widths in 64ths of a centimetre, so that sums are exact: letters of four widths, capitals, spaces,
// combining marks that take no room, and a pair kerned closer ("AV", "To"); adding a character never
// narrows a text.
class TableSurface final : public PrintSurface
{
public:
    void PageSetUp() override {}
    void setFontSize(float) override {}
    void setBold(bool) override {}
    void setTextColour(TextColour) override {}
    void setLineStyle(LineStyle) override {}
    void PrintAt(float, float, const QString& text) override { lines.append(text); }
    double TextWidth(const QString& text) override
    {
        ++measurements;
        measured += text.size();
        int units = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            units += widthOf(text[i]);
            if (i > 0 &&
                ((text[i - 1] == u'A' && text[i] == u'V') || (text[i - 1] == u'T' && text[i] == u'o')))
                units -= 6;
        }
        return units / 64.0;
    }
    void DrawLine(float, float, float, float) override {}
    void DrawFilledBox(float, float, float, float) override {}
    void DrawPicture(const QImage&, float, float, float, float) override {}
    bool EndDocument() override { return true; }

    QStringList lines;
    qint64 measurements = 0;
    qint64 measured = 0; // characters, all measurements together

private:
    static int widthOf(QChar c)
    {
        if (c == u' ')
            return 16;
        if (c == u'i' || c == u'l')
            return 14;
        if (c == u'm' || c == u'w')
            return 52;
        if (c == u'\u0301')
            return 0;
        if (c.isUpper())
            return 40;
        return 30;
    }
};

// The line breaks as they were first found, measuring one more character at a time: kept as the
// reference the faster search must agree with, line for line.
QStringList wrappedByCharacterScan(PrintSurface& surface, float widthLimit, const QString& text)
{
    QStringList lines;
    QString rest = text;
    qsizetype length = 1;
    while (length <= rest.size()) {
        const QString line = rest.left(length);
        if (surface.TextWidth(line) >= widthLimit) {
            lines.append(line);
            rest = TrimmedOfSpaces(QStringView(rest).sliced(length)).toString();
            length = 1;
        } else {
            ++length;
        }
    }
    if (!rest.isEmpty())
        lines.append(rest);
    return lines;
}

// Words of 1 to 12 letters (some capitals, accents and combining marks, "AV" and "To" pairs), now
// and then a word far longer than a line, one to four spaces apart, sometimes spaces at either end.
QString randomText(QRandomGenerator& random)
{
    static const QString letters = u"aeiouilmwnrstAVTo\u00e0\u00e8\u00f9"_s;
    QString text;
    if (random.bounded(5) == 0)
        text.fill(u' ', random.bounded(1, 6));
    const int words = random.bounded(0, 60);
    for (int w = 0; w < words; ++w) {
        const int size = random.bounded(12) == 0 ? random.bounded(40, 200) : random.bounded(1, 13);
        for (int i = 0; i < size; ++i) {
            text.append(letters[random.bounded(int(letters.size()))]);
            if (random.bounded(30) == 0)
                text.append(u'\u0301');
        }
        text.append(QString(random.bounded(1, 5), u' '));
    }
    if (random.bounded(3) == 0)
        text.chop(text.size() - TrimmedOfSpaces(QStringView(text)).size());
    return text;
}

} // namespace

// Right alignment and the line breaks of the reason for payment.
class PrintRoutinesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rightAligned_data();
    void rightAligned();
    void wrapped_data();
    void wrapped();
    void wrappedOnRealFont_data();
    void wrappedOnRealFont();
    void wrappedAsByCharacterScan_data();
    void wrappedAsByCharacterScan();
    void wrappedMeasuresEachCharacterAFewTimes();
};

void PrintRoutinesTest::rightAligned_data()
{
    QTest::addColumn<float>("rightEdge");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // 0.2 cm a character.
    QTest::newRow("short amount on the two-frame receipt edge")
        << 11.5f << u"0,50"_s << u"PrintAt 10.70 1.05 9 bold black |0,50|"_s;
    QTest::newRow("common amount on the two-frame payment edge")
        << 28.0f << u"1234,50"_s << u"PrintAt 26.60 1.05 9 bold black |1234,50|"_s;
    QTest::newRow("fifteen characters on the premarcati receipt edge")
        << 4.0f << u"123456789012,34"_s << u"PrintAt 1.00 1.05 9 bold black |123456789012,34|"_s;
    QTest::newRow("empty amount stands at the edge itself")
        << 23.0f << QString() << u"PrintAt 23.00 1.05 9 bold black ||"_s;
}

void PrintRoutinesTest::rightAligned()
{
    QFETCH(float, rightEdge);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    RecordingSurface surface;
    surface.setFontSize(9);
    surface.setBold(true);
    PrintRightAligned(surface, rightEdge, 1.05f, text);
    QCOMPARE(surface.described(), QStringList{expected});
}

void PrintRoutinesTest::wrapped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("widthLimit");
    QTest::addColumn<QStringList>("expected");

    // 0.25 cm a character: four characters make exactly 1 cm. Lines start at first y 3.4 + 0.3.
    QTest::newRow("empty text prints no line") << QString() << 1.0f << QStringList();
    QTest::newRow("short text prints one line at first y plus 0.3")
        << u"abc"_s << 1.0f << QStringList{u"PrintAt 1.00 3.70 8 bold black |abc|"_s};
    QTest::newRow("the character that reaches the limit exactly ends the line")
        << u"abcdefgh"_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s,
                       u"PrintAt 1.00 4.00 8 bold black |efgh|"_s};
    QTest::newRow("the character that passes the limit stays on the line")
        << u"abcdefgh"_s << 0.9f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s,
                       u"PrintAt 1.00 4.00 8 bold black |efgh|"_s};
    QTest::newRow("a word is broken anywhere")
        << u"abcdef"_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s, u"PrintAt 1.00 4.00 8 bold black |ef|"_s};
    QTest::newRow("spaces after a break are dropped, a space before it is kept")
        << u"abc    de  fghij  "_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abc |"_s, u"PrintAt 1.00 4.00 8 bold black |de  |"_s,
                       u"PrintAt 1.00 4.30 8 bold black |fghi|"_s, u"PrintAt 1.00 4.60 8 bold black |j|"_s};
    QTest::newRow("nothing but spaces after a break prints no further line")
        << u"abcd     "_s << 1.0f << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s};
    QTest::newRow("a tab is not trimmed") << u"abcd\tef"_s << 1.0f
                                          << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s,
                                                         u"PrintAt 1.00 4.00 8 bold black |\tef|"_s};
    QTest::newRow("the number of lines has no limit")
        << QString(48, QLatin1Char('x')) << 1.0f
        << QStringList{
               u"PrintAt 1.00 3.70 8 bold black |xxxx|"_s, u"PrintAt 1.00 4.00 8 bold black |xxxx|"_s,
               u"PrintAt 1.00 4.30 8 bold black |xxxx|"_s, u"PrintAt 1.00 4.60 8 bold black |xxxx|"_s,
               u"PrintAt 1.00 4.90 8 bold black |xxxx|"_s, u"PrintAt 1.00 5.20 8 bold black |xxxx|"_s,
               u"PrintAt 1.00 5.50 8 bold black |xxxx|"_s, u"PrintAt 1.00 5.80 8 bold black |xxxx|"_s,
               u"PrintAt 1.00 6.10 8 bold black |xxxx|"_s, u"PrintAt 1.00 6.40 8 bold black |xxxx|"_s,
               u"PrintAt 1.00 6.70 8 bold black |xxxx|"_s, u"PrintAt 1.00 7.00 8 bold black |xxxx|"_s};
    QTest::newRow("spaces before the first line are kept")
        << u"  abcdef"_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |  ab|"_s,
                       u"PrintAt 1.00 4.00 8 bold black |cdef|"_s};
    QTest::newRow("a text of spaces narrower than the limit is one line")
        << u"   "_s << 1.0f << QStringList{u"PrintAt 1.00 3.70 8 bold black |   |"_s};
    QTest::newRow("a whole text that reaches the limit exactly is one line")
        << u"abcd"_s << 1.0f << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s};
    QTest::newRow("spaces at the end of a text of one line are kept")
        << u"ab "_s << 1.0f << QStringList{u"PrintAt 1.00 3.70 8 bold black |ab |"_s};
    QTest::newRow("spaces at the end of a text go with the break before them")
        << u"abcdef "_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s, u"PrintAt 1.00 4.00 8 bold black |ef|"_s};
    QTest::newRow("one word of many lines is cut every four characters")
        << u"abcdefghijklmnopqrstuvwxyz"_s << 1.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |abcd|"_s, u"PrintAt 1.00 4.00 8 bold black |efgh|"_s,
                       u"PrintAt 1.00 4.30 8 bold black |ijkl|"_s, u"PrintAt 1.00 4.60 8 bold black |mnop|"_s,
                       u"PrintAt 1.00 4.90 8 bold black |qrst|"_s, u"PrintAt 1.00 5.20 8 bold black |uvwx|"_s,
                       u"PrintAt 1.00 5.50 8 bold black |yz|"_s};
    QTest::newRow("a limit of zero prints one character a line")
        << u"ab"_s << 0.0f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |a|"_s, u"PrintAt 1.00 4.00 8 bold black |b|"_s};
    QTest::newRow("a limit narrower than one character prints one character a line")
        << u"abc"_s << 0.1f
        << QStringList{u"PrintAt 1.00 3.70 8 bold black |a|"_s, u"PrintAt 1.00 4.00 8 bold black |b|"_s,
                       u"PrintAt 1.00 4.30 8 bold black |c|"_s};
}

void PrintRoutinesTest::wrapped()
{
    QFETCH(QString, text);
    QFETCH(float, widthLimit);
    QFETCH(QStringList, expected);

    RecordingSurface surface;
    surface.characterWidth = 0.25;
    surface.setFontSize(8);
    surface.setBold(true);
    PrintWrapped(surface, 1.0f, 3.4f, widthLimit, text);
    QCOMPARE(surface.described(), expected);
}

void PrintRoutinesTest::wrappedOnRealFont_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<float>("widthLimit");
    QTest::addColumn<QList<int>>("lineLengths");

    // Liberation Sans has Arial's widths: a digit is 0.556 em in both weights, "i" is 0.278 em in
    // bold and 0.222 em in regular. At 8 points an em is 0.28222 cm, so a digit takes 0.15691 cm,
    // a bold "i" 0.07846 cm and a regular "i" 0.06265 cm.
    const QString digits = QStringLiteral("0123456789").repeated(10);
    // 63 digits make 9.885 cm, 64 make 10.04.
    QTest::newRow("digits, two-frame receipt limit 10.0") << digits << true << 10.0f << QList<int>{64, 36};
    // 89 digits make 13.965 cm, 90 make 14.12.
    QTest::newRow("digits, two-frame payment limit 14.0") << digits << true << 14.0f << QList<int>{90, 10};
    // 35 digits make 5.492 cm, 36 make 5.649.
    QTest::newRow("digits, premarcati receipt limit 5.5") << digits << true << 5.5f << QList<int>{36, 36, 28};
    // 47 digits make 7.375 cm, 48 make 7.532.
    QTest::newRow("digits, premarcati payment limit 7.5") << digits << true << 7.5f << QList<int>{48, 48, 4};
    const QString is(200, QLatin1Char('i'));
    // Bold: 127 make 9.964 cm, 128 make 10.04.
    QTest::newRow("bold i, limit 10.0") << is << true << 10.0f << QList<int>{128, 72};
    // Regular: 159 make 9.962 cm, 160 make 10.02; the weight changes the breaks.
    QTest::newRow("regular i, limit 10.0") << is << false << 10.0f << QList<int>{160, 40};
}

void PrintRoutinesTest::wrappedOnRealFont()
{
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(float, widthLimit);
    QFETCH(QList<int>, lineLengths);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    PainterSurface device(writer);
    RecordingSurface surface(&device);
    surface.setFontSize(8);
    surface.setBold(bold);
    PrintWrapped(surface, 1.0f, 3.4f, widthLimit, text);

    QList<int> printed;
    for (const QString& line : surface.printedTexts())
        printed << int(line.size());
    QCOMPARE(printed, lineLengths);
}

void PrintRoutinesTest::wrappedAsByCharacterScan_data()
{
    QTest::addColumn<QString>("surface"); // "table", "bold" or "regular" (8 point print font)
    QTest::addColumn<float>("widthLimit");
    QTest::addColumn<QString>("text");

    const QString longWord = u"precipitevolissimevolmente"_s.repeated(12);
    for (const QString& surface : {u"table"_s, u"bold"_s}) {
        QTest::addRow("%s: empty text", qPrintable(surface)) << surface << 7.5f << QString();
        QTest::addRow("%s: one word longer than many lines", qPrintable(surface))
            << surface << 5.5f << longWord;
        QTest::addRow("%s: spaces at the end", qPrintable(surface))
            << surface << 5.5f << u"Quota sociale 2026, saldo del secondo semestre"_s + QString(40, u' ');
        QTest::addRow("%s: spaces at the start", qPrintable(surface))
            << surface << 5.5f << QString(30, u' ') + u"Quota sociale"_s;
        QTest::addRow("%s: nothing but spaces", qPrintable(surface)) << surface << 5.5f << QString(90, u' ');
        QTest::addRow("%s: a limit wider than the text", qPrintable(surface))
            << surface << 14.0f << u"Quota"_s;
        QTest::addRow("%s: a limit of zero", qPrintable(surface)) << surface << 0.0f << u"Quota sociale"_s;
        QTest::addRow("%s: combining marks that take no room", qPrintable(surface))
            << surface << 1.0f << u"ab"_s + QString(300, u'\u0301') + u"cdefgh"_s;
    }
    // Lines that end exactly at the limit: 16 "a" are 7.5 cm, "AV" is 1.15625 cm.
    QTest::newRow("table: every line reaches the limit exactly")
        << u"table"_s << 7.5f << QString(16 * 5, u'a');
    QTest::newRow("table: a kerned pair reaches the limit exactly")
        << u"table"_s << 1.15625f << u"AVAVAVAV"_s;

    QRandomGenerator random(19);
    const QList<float> limits{5.5f, 7.5f, 10.0f, 14.0f, 0.3f, 2.7f};
    for (int i = 0; i < 300; ++i) {
        const QString surface = i % 3 == 0 ? u"table"_s : i % 3 == 1 ? u"bold"_s : u"regular"_s;
        const float limit = limits[i % limits.size()];
        QTest::addRow("random words %d, %s, limit %.1f", i, qPrintable(surface), double(limit))
            << surface << limit << randomText(random);
    }
}

void PrintRoutinesTest::wrappedAsByCharacterScan()
{
    QFETCH(QString, surface);
    QFETCH(float, widthLimit);
    QFETCH(QString, text);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(1200);
    PainterSurface device(writer);
    TableSurface table;
    RecordingSurface recorder(&device);
    PrintSurface& measuring = surface == u"table"_s ? static_cast<PrintSurface&>(table) : recorder;
    measuring.setFontSize(8);
    measuring.setBold(surface != u"regular"_s);

    const QStringList expected = wrappedByCharacterScan(measuring, widthLimit, text);
    PrintWrapped(measuring, 1.0f, 3.4f, widthLimit, text);
    const QStringList printed = surface == u"table"_s ? table.lines : recorder.printedTexts();
    QCOMPARE(printed, expected);
}

// However long the text, wrapping it measures each of its characters only a few times over: measuring
// every beginning of every line would count each character about half a line's length of times (about
// 16 here, where a line holds some 32 characters).
void PrintRoutinesTest::wrappedMeasuresEachCharacterAFewTimes()
{
    QRandomGenerator random(7);
    QString text;
    while (text.size() < 100'000)
        text += randomText(random) + u' ';
    TableSurface surface;
    PrintWrapped(surface, 1.0f, 3.4f, 14.0f, text);
    const qint64 lines = surface.lines.size();
    QVERIFY2(lines > 1000, qPrintable(QString::number(lines)));
    QVERIFY2(surface.measured <= 6 * text.size(),
             qPrintable(u"%1 characters measured for %2"_s.arg(QString::number(surface.measured),
                                                               QString::number(text.size()))));
    QVERIFY2(surface.measurements <= 6 * lines,
             qPrintable(u"%1 measurements for %2 lines"_s.arg(QString::number(surface.measurements),
                                                              QString::number(lines))));
}

QTEST_MAIN(PrintRoutinesTest)
#include "PrintRoutinesTest.moc"
