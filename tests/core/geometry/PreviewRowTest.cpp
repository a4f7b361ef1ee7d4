// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/PreviewRow.h"

#include <QTest>

// The three code-line previews of the slip form (amount, account, document type) in their row. The
// design lefts are 4440, 6120 and 7680 twips: 296, 408 and 512 pixels; the row runs from 8 to 558.
class PreviewRowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void arranged_data()
    {
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<QList<int>>("lefts");

        QTest::newRow("short previews keep their places")
            << QList<int>{90, 70, 30} << QList<int>{296, 408, 512};
        QTest::newRow("touching at the gap is allowed")
            << QList<int>{106, 98, 40} << QList<int>{296, 408, 512};
        // 296 + 190 + 6 = 492 for the account; the type then ends at 492 + 70 + 6 + 40 = 608 > 558, so the
        // row is pulled back: the type ends at 558, the account 6 before it, the amount 6 before that.
        QTest::newRow("long amount pushes, the end pulls back")
            << QList<int>{190, 70, 40} << QList<int>{246, 442, 518};
        // Only the type is too long for its place: it moves left, the others stay.
        QTest::newRow("long type moves left alone") << QList<int>{90, 40, 100} << QList<int>{296, 408, 458};
        // The type ending at 558 starts at 458: the account must end by 452, so it starts at 382, and
        // the amount ends by 376.
        QTest::newRow("long type pulls the others back")
            << QList<int>{90, 70, 100} << QList<int>{286, 382, 458};
        QTest::newRow("long account and type") << QList<int>{90, 100, 100} << QList<int>{256, 352, 458};
        QTest::newRow("exactly the row") << QList<int>{300, 120, 118} << QList<int>{8, 314, 440};
    }
    void arranged()
    {
        QFETCH(QList<int>, widths);
        QFETCH(QList<int>, lefts);
        const std::optional<QList<int>> placed = arrangePreviewRow({296, 408, 512}, widths, 6, 8, 558);
        QVERIFY(placed.has_value());
        QCOMPARE(*placed, lefts);
    }

    void tooWideForTheRow()
    {
        QCOMPARE(arrangePreviewRow({296, 408, 512}, {300, 120, 119}, 6, 8, 558), std::nullopt);
        QCOMPARE(arrangePreviewRow({296, 408}, {90}, 6, 8, 558), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(PreviewRowTest)
#include "PreviewRowTest.moc"
