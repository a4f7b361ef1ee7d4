// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the number formats and the exact numbers of workbooks. An input is three lines: a format
// code as an .xlsx writes it, a number as a workbook stores it, and optionally "1" for the 1904
// date system followed by the number of a built-in format. Besides not crashing:
// - a number reads back from its plain form, and rounds as integer arithmetic rounds it;
// - a format of digit placeholders only ("#,##0.00") shows the rounded number, grouped by thousands
//   when it says so, with no fewer digits than its zeros ask;
// - day serials of both date systems agree, and turn back into themselves.
#include "core/number/ExactNumber.h"
#include "core/number/NumberFormat.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void fail(const char* what, const QString& code, const QString& number, const QString& shown)
{
    std::fprintf(stderr, "%s\n  format: \"%s\"\n  number: \"%s\"\n  shown:  \"%s\"\n", what, qPrintable(code),
                 qPrintable(number), qPrintable(shown));
    std::abort();
}

void checkNumber(const ExactNumber& value, const QString& text)
{
    if (!value.digits.isEmpty() && (value.digits.front() == u'0' || value.digits.back() == u'0'))
        fail("digits with leading or trailing zeros", {}, text, value.digits);
    const QString plain = value.plain();
    const std::optional<ExactNumber> again = ExactNumber::parse(plain);
    if (!again || again->negative != value.negative || again->digits != value.digits ||
        again->exponent != value.exponent)
        fail("the plain form reads back as another number", {}, text, plain);

    // Rounding against integer arithmetic, while the digits fit in 64 bits.
    if (value.digits.size() > 15)
        return;
    const qint64 digits = value.digits.isEmpty() ? 0 : value.digits.toLongLong();
    for (int decimals = 0; decimals <= 4; ++decimals) {
        const int shift = value.exponent + decimals;
        qint64 scaled = 0;
        if (shift >= 0) {
            if (value.digits.size() + shift > 18)
                continue;
            scaled = digits;
            for (int i = 0; i < shift; ++i)
                scaled *= 10;
        } else if (-shift <= 18) {
            qint64 unit = 1;
            for (int i = 0; i < -shift; ++i)
                unit *= 10;
            scaled = digits / unit + (digits % unit * 2 >= unit ? 1 : 0);
        }
        const QString expected =
            ExactNumber::parse(
                u"%1%2E-%3"_s.arg(value.negative ? u"-"_s : QString()).arg(scaled).arg(decimals))
                ->plain();
        const QString rounded = value.rounded(decimals).plain();
        if (rounded != expected)
            fail("rounded otherwise than integer arithmetic rounds", QString::number(decimals), text,
                 rounded);
    }
}

// A format of digit placeholders, thousands commas and one point only: what it shows can be read back.
void checkPlaceholders(const QString& code, const QString& text, const ExactNumber& value,
                       const QString& shown)
{
    static const QRegularExpression simple(u"^([0#]([0#,]*[0#])?)?(\\.[0#]*)?$"_s);
    if (code.isEmpty() || !simple.match(code).hasMatch())
        return;
    const qsizetype point = code.indexOf(u'.');
    const QString wholeCode = point < 0 ? code : code.left(point);
    const QString fractionCode = point < 0 ? QString() : code.mid(point + 1);
    const qsizetype minWhole = wholeCode.count(u'0');
    const qsizetype decimals = fractionCode.size();
    const qsizetype minDecimals = fractionCode.lastIndexOf(u'0') + 1;
    const bool grouping = wholeCode.contains(u',');

    QString rest = shown;
    if (rest.startsWith(u'-') != value.negative)
        fail("the sign is wrong", code, text, shown);
    if (value.negative)
        rest.remove(0, 1);
    const qsizetype comma = rest.indexOf(u',');
    // The comma goes with the decimals: left out when "#" placeholders leave none.
    if (comma >= 0 ? point < 0 : point >= 0 && (decimals == 0 || minDecimals > 0))
        fail("a decimal comma without a point in the format, or none before decimals", code, text, shown);
    const QString whole = comma < 0 ? rest : rest.left(comma);
    const QString fraction = comma < 0 ? QString() : rest.mid(comma + 1);
    static const QRegularExpression groups(u"^([0-9]{1,3}(\\.[0-9]{3})*)?$"_s);
    static const QRegularExpression digits(u"^[0-9]*$"_s);
    if (!(grouping ? groups : digits).match(whole).hasMatch() || !digits.match(fraction).hasMatch())
        fail("the digits are not grouped as the format says", code, text, shown);
    QString wholeDigits = whole;
    wholeDigits.remove(u'.');
    if (wholeDigits.size() < minWhole || (wholeDigits.size() > minWhole && wholeDigits.startsWith(u'0')))
        fail("leading zeros other than the format asks", code, text, shown);
    if (fraction.size() < minDecimals || fraction.size() > decimals)
        fail("decimals other than the format asks", code, text, shown);
    const std::optional<ExactNumber> read =
        ExactNumber::parse((wholeDigits.isEmpty() ? u"0"_s : wholeDigits) + u'.' + fraction + u'0');
    ExactNumber magnitude = value.rounded(int(decimals));
    magnitude.negative = false;
    if (!read || read->plain() != magnitude.plain())
        fail("shown otherwise than the rounded number", code, text, shown);
}

void checkDates(const NumberFormat& format, const ExactNumber& value, bool system1904)
{
    const int seconds = value.secondsOfDay();
    if (seconds < 0 || seconds > 86399)
        fail("a time of day out of the day", {}, value.plain(), QString::number(seconds));
    const std::optional<qint64> serial = value.floorToInteger();
    if (!serial || *serial < -1'000'000 || *serial > 4'000'000)
        return;
    const QDate date1900 = dateOfSerial(*serial, false);
    if (date1900.isValid() && *serial != 60 && serialOfDate(date1900) != *serial)
        fail("a serial does not come back from its date", {}, value.plain(), date1900.toString());
    const QDate date1904 = dateOfSerial(*serial, true);
    if (date1904.isValid() && dateOfSerial(*serial + 1462, false) != date1904)
        fail("the two date systems disagree", {}, value.plain(), date1904.toString());
    const QDate date = system1904 ? date1904 : date1900;
    if (format.isDate() && date.isValid() && !value.negative)
        (void)format.showDate(date, seconds);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = input.split(u'\n');
    const QString code = lines.value(0);
    const QString text = lines.value(1);
    const QString options = lines.value(2);
    const bool system1904 = options.startsWith(u'1');

    const NumberFormat format(code);
    const std::optional<ExactNumber> value = ExactNumber::parse(text);
    if (!value)
        return 0;
    checkNumber(*value, text);
    const QString shown = format.show(*value);
    checkPlaceholders(code, text, *value, shown);
    checkDates(format, *value, system1904);

    bool ok = false;
    const int builtin = options.mid(1).toInt(&ok);
    if (ok) {
        const NumberFormat fixed = NumberFormat::builtin(builtin);
        (void)fixed.show(*value);
        checkDates(fixed, *value, system1904);
    }
    (void)NumberFormat().show(*value);
    return 0;
}
