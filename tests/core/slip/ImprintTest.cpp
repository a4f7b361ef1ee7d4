// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/Imprint.h"
#include "FixedClock.h"

#include <QRegularExpression>
#include <QTest>

class ImprintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void writesTheFiguresAndTheDate()
    {
        // Draws chosen to give a = 45, b = 523, c = 3, d = 11, e = 200, f = 3000.
        FixedClock clock(QDate(2026, 12, 7));
        clock.draws = {25.5 / 70, 323.5 / 700, 2.5 / 7, 0.0, 0.0, 0.0};
        const ImprintTexts imprint = makeImprint(clock);
        QCOMPARE(imprint.label23, QStringLiteral("45/523    03    07-12-26   R1"));
        QCOMPARE(imprint.label24, QStringLiteral("0011                     *100,00*"));
        QCOMPARE(imprint.label25, QStringLiteral("VCY  200                 *1,00*"));
        QCOMPARE(imprint.label26, QStringLiteral("C/C   3000"));
    }

    void highestDrawsStayInRange()
    {
        FixedClock clock(QDate(2027, 1, 31));
        const double almostOne = 0.9999999999;
        clock.draws = {almostOne, almostOne, almostOne, almostOne, almostOne, almostOne};
        const ImprintTexts imprint = makeImprint(clock);
        QCOMPARE(imprint.label23, QStringLiteral("89/899    07    31-01-27   R1"));
        QCOMPARE(imprint.label24, QStringLiteral("0085                     *100,00*"));
        QCOMPARE(imprint.label25, QStringLiteral("VCY  799                 *1,00*"));
        QCOMPARE(imprint.label26, QStringLiteral("C/C   1002999"));
    }

    void realDrawsStayInRange()
    {
        SystemClock clock;
        const QRegularExpression line23(
            QStringLiteral("^(\\d+)/(\\d+)    0(\\d)    \\d\\d-\\d\\d-\\d\\d   R1$"));
        for (int round = 0; round < 200; ++round) {
            const ImprintTexts imprint = makeImprint(clock);
            const QRegularExpressionMatch match = line23.match(imprint.label23);
            QVERIFY2(match.hasMatch(), qPrintable(imprint.label23));
            QVERIFY(match.captured(1).toInt() >= 20 && match.captured(1).toInt() <= 89);
            QVERIFY(match.captured(2).toInt() >= 200 && match.captured(2).toInt() <= 899);
            QVERIFY(match.captured(3).toInt() >= 1 && match.captured(3).toInt() <= 7);
            const int d = imprint.label24.mid(2, imprint.label24.indexOf(QLatin1Char(' ')) - 2).toInt();
            QVERIFY(d >= 11 && d <= 85);
            const int e = imprint.label25.mid(5, 3).toInt();
            QVERIFY(e >= 200 && e <= 799);
            const int f = imprint.label26.mid(6).toInt();
            QVERIFY(f >= 3000 && f <= 1002999);
        }
    }
};

QTEST_GUILESS_MAIN(ImprintTest)
#include "ImprintTest.moc"
