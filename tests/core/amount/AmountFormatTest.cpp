// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/AmountFormat.h"

#include <QTest>

class AmountFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatsAmount_data();
    void formatsAmount();
    void refusesAmount_data();
    void refusesAmount();
    void invalidAmountMessage();
};

void AmountFormatTest::formatsAmount_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("formatted");

    QTest::newRow("two decimals unchanged") << "1234,56"
                                            << "1234,56";
    QTest::newRow("one decimal padded") << "12,5"
                                        << "12,50";
    QTest::newRow("no decimals") << "7,"
                                 << "7,00";
    QTest::newRow("no integer part") << ",5"
                                     << "0,50";
    QTest::newRow("lone comma") << ","
                                << "0,00";
    QTest::newRow("leading zeros dropped") << "0012,30"
                                           << "12,30";
    QTest::newRow("zero integer part kept") << "0,05"
                                            << "0,05";
    QTest::newRow("all zeros") << "000,000"
                               << "0,00";
    QTest::newRow("third decimal below five") << "1,994"
                                              << "1,99";
    QTest::newRow("third decimal five rounds up") << "1,995"
                                                  << "2,00";
    QTest::newRow("third decimal five no further digits") << "0,125"
                                                          << "0,13";
    QTest::newRow("digits after a four ignored") << "1,9949999"
                                                 << "1,99";
    QTest::newRow("carry into the integer part") << "9,999"
                                                 << "10,00";
    QTest::newRow("carry through every digit") << "99999,995"
                                               << "100000,00";
    QTest::newRow("carry from zero euros") << "0,995"
                                           << "1,00";
    QTest::newRow("rounds up to one cent") << ",005"
                                           << "0,01";
    QTest::newRow("rounds down to zero") << ",004"
                                         << "0,00";
    QTest::newRow("carry with leading zeros") << "009,996"
                                              << "10,00";
    QTest::newRow("nine integer digits") << "123456789,00"
                                         << "123456789,00";
    QTest::newRow("eighteen integer digits") << "123456789012345678,5"
                                             << "123456789012345678,50";
    QTest::newRow("beyond double precision") << "90071992547409931,07"
                                             << "90071992547409931,07";
    QTest::newRow("long carry") << "99999999999999999999,999"
                                << "100000000000000000000,00";
}

void AmountFormatTest::formatsAmount()
{
    QFETCH(QString, typed);
    QFETCH(QString, formatted);
    const std::optional<QString> result = FormatAmount(typed);
    QVERIFY(result.has_value());
    QCOMPARE(*result, formatted);
}

void AmountFormatTest::refusesAmount_data()
{
    QTest::addColumn<QString>("typed");

    QTest::newRow("empty") << "";
    QTest::newRow("whole number") << "1234";
    QTest::newRow("two commas") << "1,2,3";
    QTest::newRow("two adjacent commas") << "12,,5";
    QTest::newRow("point as separator") << "12.50";
    QTest::newRow("grouping point") << "1.234,56";
    QTest::newRow("letter") << "12,5a";
    QTest::newRow("minus sign") << "-12,50";
    QTest::newRow("plus sign") << "+12,50";
    QTest::newRow("inner space") << "12 ,50";
    QTest::newRow("untrimmed") << " 12,50";
    QTest::newRow("arabic-indic digit") << QStringLiteral("\u0661\u0662,50");
    QTest::newRow("fullwidth digit") << QStringLiteral("\uFF11,50");
}

void AmountFormatTest::refusesAmount()
{
    QFETCH(QString, typed);
    QCOMPARE(FormatAmount(typed), std::nullopt);
}

void AmountFormatTest::invalidAmountMessage()
{
    QCOMPARE(InvalidAmountMessage(), QStringLiteral("Formato IMPORTO non valido!!!"));
}

QTEST_GUILESS_MAIN(AmountFormatTest)
#include "AmountFormatTest.moc"
