// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/number/ExactNumber.h"

using namespace Qt::StringLiterals;

namespace {

// Trailing zeros of the digits go into the exponent, leading zeros go.
void normalise(ExactNumber& number)
{
    qsizetype lead = 0;
    while (lead < number.digits.size() && number.digits[lead] == u'0')
        ++lead;
    number.digits.remove(0, lead);
    qsizetype end = number.digits.size();
    while (end > 0 && number.digits[end - 1] == u'0')
        --end;
    number.exponent += int(number.digits.size() - end);
    number.digits.truncate(end);
    if (number.digits.isEmpty()) {
        number.exponent = 0;
        number.negative = false;
    }
}

// Exponents beyond this are refused: no sheet value needs them, and the plain form would be huge.
constexpr int MaxExponent = 400;

} // namespace

std::optional<ExactNumber> ExactNumber::parse(QStringView text)
{
    ExactNumber number;
    qsizetype at = 0;
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
        number.negative = text[at] == u'-';
        ++at;
    }
    bool anyDigit = false;
    bool point = false;
    int fractionDigits = 0;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c >= u'0' && c <= u'9') {
            number.digits += c;
            anyDigit = true;
            if (point)
                ++fractionDigits;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit)
        return std::nullopt;
    int exponent = 0;
    if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        bool negativeExponent = false;
        if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
            negativeExponent = text[at] == u'-';
            ++at;
        }
        bool anyExponentDigit = false;
        for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
            exponent = exponent * 10 + (text[at].unicode() - u'0');
            anyExponentDigit = true;
            if (exponent > MaxExponent)
                return std::nullopt;
        }
        if (!anyExponentDigit)
            return std::nullopt;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (at != text.size())
        return std::nullopt;
    number.exponent = exponent - fractionDigits;
    normalise(number);
    if (number.exponent > MaxExponent || number.exponent + number.digits.size() < -MaxExponent)
        return std::nullopt;
    return number;
}

QString ExactNumber::plain() const
{
    if (isZero())
        return u"0"_s;
    QString whole;
    QString fraction;
    if (exponent >= 0) {
        whole = digits + QString(exponent, u'0');
    } else if (-exponent >= digits.size()) {
        whole = u"0"_s;
        fraction = QString(-exponent - digits.size(), u'0') + digits;
    } else {
        whole = digits.left(digits.size() + exponent);
        fraction = digits.right(-exponent);
    }
    QString out = negative ? u"-"_s : QString();
    out += whole;
    if (!fraction.isEmpty())
        out += u'.' + fraction;
    return out;
}

ExactNumber ExactNumber::rounded(int decimals) const
{
    if (isZero() || exponent >= -decimals)
        return *this;
    // Digits kept: those at or above 10^-decimals.
    const qsizetype dropped = -decimals - exponent;
    ExactNumber out;
    out.negative = negative;
    out.exponent = -decimals;
    if (dropped > digits.size()) {
        return ExactNumber{}; // below half of the last place
    }
    QString kept = digits.left(digits.size() - dropped);
    const bool up = digits[digits.size() - dropped] >= u'5';
    if (up) {
        qsizetype i = kept.size() - 1;
        for (; i >= 0; --i) {
            if (kept[i] == u'9') {
                kept[i] = u'0';
            } else {
                kept[i] = QChar(kept[i].unicode() + 1);
                break;
            }
        }
        if (i < 0)
            kept.prepend(u'1');
    }
    out.digits = kept;
    normalise(out);
    return out;
}

ExactNumber ExactNumber::shifted(int places) const
{
    ExactNumber out = *this;
    if (!out.isZero())
        out.exponent += places;
    return out;
}

void ExactNumber::split(int decimals, QString& whole, QString& fraction) const
{
    const ExactNumber value = rounded(decimals);
    whole.clear();
    fraction.clear();
    if (!value.isZero()) {
        if (value.exponent >= 0) {
            whole = value.digits + QString(value.exponent, u'0');
        } else if (-value.exponent < value.digits.size()) {
            whole = value.digits.left(value.digits.size() + value.exponent);
            fraction = value.digits.right(-value.exponent);
        } else {
            fraction = QString(-value.exponent - value.digits.size(), u'0') + value.digits;
        }
    }
    fraction = fraction.leftJustified(decimals, u'0');
}

std::optional<qint64> ExactNumber::floorToInteger() const
{
    QString whole;
    QString fraction;
    // The whole part without rounding: the fraction is looked at, not rounded into it.
    if (isZero())
        return 0;
    if (exponent >= 0) {
        whole = digits + QString(exponent, u'0');
    } else if (-exponent < digits.size()) {
        whole = digits.left(digits.size() + exponent);
        fraction = digits.right(-exponent);
    } else {
        fraction = digits;
    }
    if (whole.size() > 15)
        return std::nullopt;
    qint64 value = whole.isEmpty() ? 0 : whole.toLongLong();
    if (negative) {
        value = -value;
        if (!fraction.isEmpty())
            --value;
    }
    return value;
}

int ExactNumber::secondsOfDay() const
{
    const std::optional<qint64> day = floorToInteger();
    if (!day)
        return 0;
    // value - day, times 86400, rounded: done on the digits with an exact product.
    ExactNumber part = *this;
    // Subtracting the whole part is the same as keeping the digits below the point (for a positive
    // value); negative serials are not dates and never get here.
    if (part.negative || part.exponent >= 0)
        return 0;
    const qsizetype fractionDigits = -part.exponent;
    QString fraction = part.digits.right(std::min<qsizetype>(fractionDigits, part.digits.size()))
                           .rightJustified(fractionDigits, u'0');
    // fraction × 86400 / 10^fractionDigits, rounded: long multiplication on the digit string.
    QString product;
    int carry = 0;
    for (qsizetype i = fraction.size() - 1; i >= 0; --i) {
        const int digit = (fraction[i].unicode() - u'0') * 86400 + carry;
        product.prepend(QChar(u'0' + digit % 10));
        carry = digit / 10;
    }
    while (carry > 0) {
        product.prepend(QChar(u'0' + carry % 10));
        carry /= 10;
    }
    ExactNumber seconds;
    seconds.digits = product;
    seconds.exponent = -int(fractionDigits);
    normalise(seconds);
    const std::optional<qint64> whole = seconds.rounded(0).floorToInteger();
    return whole ? int(std::min<qint64>(*whole, 86399)) : 0;
}
