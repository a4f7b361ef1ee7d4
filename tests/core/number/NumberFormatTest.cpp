// SPDX-License-Identifier: GPL-3.0-or-later

// Numbers as a workbook stores them, kept exact, and shown through a cell's number format the way
// an Italian spreadsheet shows them; the day serials of both date systems. Built everywhere: nothing
// here needs a zip or a workbook.
#include "core/number/NumberFormat.h"
#include "core/number/ExactNumber.h"

#include <QTest>

using namespace Qt::StringLiterals;

class NumberFormatTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void exactNumbers_data();
    void exactNumbers();
    void numberFormats_data();
    void numberFormats();
    void dateFormats_data();
    void dateFormats();
    void daySerials_data();
    void daySerials();
};

void NumberFormatTest::exactNumbers_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("plain"); // empty: refused
    QTest::newRow("whole") << u"184"_s << u"184"_s;
    QTest::newRow("decimals") << u"1234.5"_s << u"1234.5"_s;
    QTest::newRow("exponent form of the same") << u"1.2345E3"_s << u"1234.5"_s;
    QTest::newRow("small exponent") << u"1E-7"_s << u"0.0000001"_s;
    QTest::newRow("binary-unfriendly decimal kept") << u"0.1"_s << u"0.1"_s;
    QTest::newRow("trailing zeros dropped") << u"35.000"_s << u"35"_s;
    QTest::newRow("negative") << u"-12.50"_s << u"-12.5"_s;
    QTest::newRow("negative zero is zero") << u"-0.0"_s << u"0"_s;
    QTest::newRow("longer than a double") << u"12345678901234567890.12"_s << u"12345678901234567890.12"_s;
    QTest::newRow("leading point") << u".5"_s << u"0.5"_s;
    QTest::newRow("plus sign and exponent") << u"+2.5e+2"_s << u"250"_s;
    QTest::newRow("space refused") << u" 1"_s << QString();
    QTest::newRow("comma refused") << u"1,5"_s << QString();
    QTest::newRow("exponent without digits refused") << u"1E"_s << QString();
    QTest::newRow("huge exponent refused") << u"1E999999"_s << QString();
    QTest::newRow("empty refused") << QString() << QString();
}

void NumberFormatTest::exactNumbers()
{
    QFETCH(QString, stored);
    QFETCH(QString, plain);
    const std::optional<ExactNumber> number = ExactNumber::parse(stored);
    QCOMPARE(number.has_value(), !plain.isEmpty());
    if (number)
        QCOMPARE(number->plain(), plain);
}

void NumberFormatTest::numberFormats_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("General whole") << u"General"_s << u"184"_s << u"184"_s;
    QTest::newRow("General decimals, Italian comma") << u"General"_s << u"1234.5"_s << u"1234,5"_s;
    QTest::newRow("postcode padded") << u"00000"_s << u"184"_s << u"00184"_s;
    QTest::newRow("account padded") << u"000000000000"_s << u"1012345678"_s << u"001012345678"_s;
    QTest::newRow("two decimals") << u"0.00"_s << u"35"_s << u"35,00"_s;
    QTest::newRow("two decimals, half rounds up") << u"0.00"_s << u"0.005"_s << u"0,01"_s;
    QTest::newRow("two decimals, below half") << u"0.00"_s << u"2.004999"_s << u"2,00"_s;
    QTest::newRow("rounding carries") << u"0.00"_s << u"9.999"_s << u"10,00"_s;
    QTest::newRow("thousands") << u"#,##0.00"_s << u"1234.5"_s << u"1.234,50"_s;
    QTest::newRow("millions") << u"#,##0"_s << u"1234567"_s << u"1.234.567"_s;
    QTest::newRow("thousands below one") << u"#,##0.00"_s << u"0.5"_s << u"0,50"_s;
    QTest::newRow("negative with minus") << u"0.00"_s << u"-3"_s << u"-3,00"_s;
    QTest::newRow("negative section") << u"#,##0.00;[RED]\\-#,##0.00"_s << u"-12.5"_s << u"-12,50"_s;
    QTest::newRow("negative in brackets") << u"#,##0.00;(#,##0.00)"_s << u"-12.5"_s << u"(12,50)"_s;
    QTest::newRow("zero section") << u"0.00;-0.00;\"zero\""_s << u"0"_s << u"zero"_s;
    QTest::newRow("percent") << u"0%"_s << u"0.125"_s << u"13%"_s;
    QTest::newRow("percent with decimals") << u"0.00%"_s << u"0.125"_s << u"12,50%"_s;
    QTest::newRow("euro before") << u"[$€-410]\\ #,##0.00"_s << u"35"_s << u"€ 35,00"_s;
    QTest::newRow("euro after, quoted") << u"#,##0.00\\ \"€\""_s << u"1234.5"_s << u"1.234,50 €"_s;
    QTest::newRow("optional decimals") << u"0.##"_s << u"3.5"_s << u"3,5"_s;
    QTest::newRow("no digits before the point") << u"#.00"_s << u"0.5"_s << u",50"_s;
    QTest::newRow("literal among digits") << u"000\\-000"_s << u"12345"_s << u"012-345"_s;
    QTest::newRow("scientific") << u"0.00E+00"_s << u"1234.5"_s << u"1,23E+03"_s;
    QTest::newRow("scientific small") << u"0.00E+00"_s << u"0.00012"_s << u"1,20E-04"_s;
    QTest::newRow("text format shows a number plainly") << u"@"_s << u"184"_s << u"184"_s;
    QTest::newRow("condition falls back to the value") << u"[>100]0.0;0"_s << u"184.25"_s << u"184,25"_s;
    QTest::newRow("fraction falls back to the value") << u"# ?/?"_s << u"1.5"_s << u"1,5"_s;
    QTest::newRow("thousands scaling falls back") << u"0,"_s << u"12000"_s << u"12000"_s;
    QTest::newRow("colour ignored") << u"[Blue]0"_s << u"7"_s << u"7"_s;
}

void NumberFormatTest::numberFormats()
{
    QFETCH(QString, code);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    const NumberFormat format(code);
    QVERIFY(!format.isDate());
    QCOMPARE(format.show(*ExactNumber::parse(stored)), shown);
}

void NumberFormatTest::dateFormats_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("shown");
    // All on Thursday 5 March 2026.
    QTest::newRow("Italian short date") << u"dd/mm/yyyy"_s << 0 << u"05/03/2026"_s;
    QTest::newRow("upper case, as LibreOffice writes") << u"DD/MM/YYYY"_s << 0 << u"05/03/2026"_s;
    QTest::newRow("short year, no padding") << u"d/m/yy"_s << 0 << u"5/3/26"_s;
    QTest::newRow("month name") << u"d mmmm yyyy"_s << 0 << u"5 marzo 2026"_s;
    QTest::newRow("short names") << u"ddd d mmm"_s << 0 << u"gio 5 mar"_s;
    QTest::newRow("day name") << u"dddd"_s << 0 << u"giovedì"_s;
    QTest::newRow("minutes after hours")
        << u"dd/mm/yyyy hh:mm"_s << 9 * 3600 + 7 * 60 << u"05/03/2026 09:07"_s;
    QTest::newRow("minutes before seconds") << u"mm:ss"_s << 61 << u"01:01"_s;
    QTest::newRow("twelve hours") << u"h:mm AM/PM"_s << 15 * 3600 << u"3:00 PM"_s;
    QTest::newRow("locale prefix") << u"[$-410]dd/mm/yyyy"_s << 0 << u"05/03/2026"_s;
}

void NumberFormatTest::dateFormats()
{
    QFETCH(QString, code);
    QFETCH(int, seconds);
    QFETCH(QString, shown);
    const NumberFormat format(code);
    QVERIFY(format.isDate());
    QCOMPARE(format.showDate(QDate(2026, 3, 5), seconds), shown);
}

void NumberFormatTest::daySerials_data()
{
    QTest::addColumn<qint64>("serial");
    QTest::addColumn<bool>("system1904");
    QTest::addColumn<QDate>("date");
    QTest::newRow("first day of 1900") << qint64(1) << false << QDate(1900, 1, 1);
    QTest::newRow("last day before the false leap day") << qint64(59) << false << QDate(1900, 2, 28);
    QTest::newRow("the 29 February 1900 that never was") << qint64(60) << false << QDate();
    QTest::newRow("first of March 1900") << qint64(61) << false << QDate(1900, 3, 1);
    QTest::newRow("a day of 2026") << qint64(46086) << false << QDate(2026, 3, 5);
    QTest::newRow("zero is no day") << qint64(0) << false << QDate();
    QTest::newRow("1904 system, day zero") << qint64(0) << true << QDate(1904, 1, 1);
    QTest::newRow("1904 system, a day of 2026") << qint64(44624) << true << QDate(2026, 3, 5);
    QTest::newRow("beyond 9999") << qint64(3'000'000) << false << QDate();
}

void NumberFormatTest::daySerials()
{
    QFETCH(qint64, serial);
    QFETCH(bool, system1904);
    QFETCH(QDate, date);
    QCOMPARE(dateOfSerial(serial, system1904), date);
    if (date.isValid() && !system1904)
        QCOMPARE(serialOfDate(date), serial);
}

QTEST_GUILESS_MAIN(NumberFormatTest)
#include "NumberFormatTest.moc"
