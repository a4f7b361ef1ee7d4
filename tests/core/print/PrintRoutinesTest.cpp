#include "core/print/PrintRoutines.h"
#include "RecordingSurface.h"
#include "core/print/PainterSurface.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QTest>

using namespace Qt::StringLiterals;

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

QTEST_MAIN(PrintRoutinesTest)
#include "PrintRoutinesTest.moc"
