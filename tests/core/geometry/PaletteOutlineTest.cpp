// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/PaletteOutline.h"

#include <QTest>

using Spans = QList<QPair<int, int>>;

// Pixel spans of a region's row, as [first, end) pairs.
static Spans rowSpans(const QRegion& region, int y)
{
    Spans spans;
    for (const QRect& r : region.intersected(QRect(-1000, y, 3000, 1)))
        spans.append({r.left(), r.right() + 1});
    std::sort(spans.begin(), spans.end());
    return spans;
}

class PaletteOutlineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundsHalvesToEven_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("rounded");
        QTest::newRow("half below even goes down") << 2.5 << 2;
        QTest::newRow("half below odd goes up") << 1.5 << 2;
        QTest::newRow("zero and a half") << 0.5 << 0;
        QTest::newRow("negative half") << -0.5 << 0;
        QTest::newRow("negative one and a half") << -1.5 << -2;
        QTest::newRow("below half") << 16.4 << 16;
        QTest::newRow("above half") << 16.6 << 17;
        QTest::newRow("whole") << 201.0 << 201;
    }
    void roundsHalvesToEven()
    {
        QFETCH(double, value);
        QFETCH(int, rounded);
        QCOMPARE(roundHalfEven(value), rounded);
    }

    void roundRectExcludesRightAndBottomEdges()
    {
        const QRegion square = roundRectRegion(2, 3, 12, 8, 0, 0);
        QCOMPARE(square, QRegion(2, 3, 10, 5));

        // 4 × 4 corners on a 10 × 10 square cut one pixel from each corner.
        const QRegion rounded = roundRectRegion(0, 0, 10, 10, 4, 4);
        QCOMPARE(rounded.boundingRect(), QRect(0, 0, 10, 10));
        QCOMPARE(rowSpans(rounded, 0), (Spans{{1, 9}}));
        QCOMPARE(rowSpans(rounded, 1), (Spans{{0, 10}}));
        QCOMPARE(rowSpans(rounded, 9), (Spans{{1, 9}}));
        QVERIFY(rowSpans(rounded, 10).isEmpty());
    }

    void paletteOutlineRows_data()
    {
        QTest::addColumn<int>("y");
        QTest::addColumn<Spans>("spans");
        QTest::newRow("above the upper panel") << 8 << Spans{};
        QTest::newRow("top row of the upper panel") << 9 << Spans{{33, 185}};
        QTest::newRow("straight part of the upper panel") << 50 << Spans{{17, 201}};
        QTest::newRow("upper panel's lower corners over the joint") << 100 << Spans{{24, 194}};
        QTest::newRow("last row of the upper panel") << 104 << Spans{{33, 185}};
        QTest::newRow("joint alone") << 120 << Spans{{33, 185}};
        QTest::newRow("lower panel's top row inside the joint") << 129 << Spans{{33, 185}};
        QTest::newRow("first row below the joint") << 137 << Spans{{18, 200}};
        QTest::newRow("straight part of the lower panel") << 300 << Spans{{9, 209}};
        QTest::newRow("last row of the lower panel") << 440 << Spans{{34, 184}};
        QTest::newRow("below the lower panel") << 441 << Spans{};
    }
    void paletteOutlineRows()
    {
        QFETCH(int, y);
        QFETCH(Spans, spans);
        const PaletteShapes shapes{QRectF(16, 8, 185, 97), QRectF(32, 96, 153, 41), QRectF(8, 128, 201, 313)};
        QCOMPARE(rowSpans(paletteOutline(shapes), y), spans);
    }

    void paletteOutlineLeavesBorderAndCornersOut()
    {
        const PaletteShapes shapes{QRectF(16, 8, 185, 97), QRectF(32, 96, 153, 41), QRectF(8, 128, 201, 313)};
        const QRegion outline = paletteOutline(shapes);
        QCOMPARE(outline.boundingRect(), QRect(QPoint(9, 9), QPoint(208, 440)));
        QVERIFY(!outline.contains(QPoint(0, 0)));
        QVERIFY(!outline.contains(QPoint(8, 300)));  // the window's border column
        QVERIFY(!outline.contains(QPoint(9, 129)));  // lower panel's rounded corner
        QVERIFY(!outline.contains(QPoint(20, 120))); // beside the joint
        QVERIFY(outline.contains(QPoint(208, 300)));
    }

    void fractionalShapesRoundHalfToEven()
    {
        // 16.5 + 1 rounds to 18 (even), 8.5 + 1 to 10, 16.5 + 184 to 200, 8.5 + 97 to 106.
        const PaletteShapes shapes{QRectF(16.5, 8.5, 184, 97), QRectF(0, 0, 0, 0), QRectF(0, 0, 0, 0)};
        QCOMPARE(paletteOutline(shapes).boundingRect(), QRect(QPoint(18, 10), QPoint(199, 105)));
    }
};

QTEST_GUILESS_MAIN(PaletteOutlineTest)
#include "PaletteOutlineTest.moc"
