// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/AmountFormat.h"

#include "core/slip/SlipText.h"

namespace {

// Adds one to a string of digits in place; true when the carry runs off the left end.
bool incrementDigits(QString& digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != u'9') {
            digits[i] = QChar(digits[i].unicode() + 1);
            return false;
        }
        digits[i] = u'0';
    }
    return true;
}

} // namespace

QString InvalidAmountMessage()
{
    return QStringLiteral("Formato IMPORTO non valido!!!");
}

std::optional<QString> FormatAmount(const QString& text)
{
    const qsizetype comma = text.indexOf(u',');
    if (comma < 0 || text.indexOf(u',', comma + 1) >= 0)
        return std::nullopt;
    const QStringView integerPart = QStringView(text).left(comma);
    const QStringView decimalPart = QStringView(text).mid(comma + 1);
    if (!IsDecimalDigits(integerPart) || !IsDecimalDigits(decimalPart))
        return std::nullopt;

    // The amount in hundredths: integer digits without leading zeros, then the first two decimals.
    const QStringView integerDigits = WithoutLeadingZeros(integerPart);
    QString hundredths;
    hundredths.reserve(integerDigits.size() + 4);
    hundredths += integerDigits;
    hundredths += decimalPart.left(2);
    for (qsizetype i = decimalPart.size(); i < 2; ++i)
        hundredths += u'0';
    if (decimalPart.size() > 2 && decimalPart[2] >= u'5') {
        if (incrementDigits(hundredths))
            hundredths.prepend(u'1');
    }

    QString result = hundredths.left(hundredths.size() - 2);
    if (result.isEmpty())
        result = QStringLiteral("0");
    result += u',';
    result += QStringView(hundredths).right(2);
    return result;
}
