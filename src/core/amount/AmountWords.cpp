// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/AmountWords.h"

#include "core/slip/SlipText.h"

#include "core/slip/FieldRules.h"

#include <array>

namespace {

constexpr std::array<const char16_t*, 20> Units = {
    u"zero",        u"uno",      u"due",    u"tre",         u"quattro",  u"cinque",     u"sei",
    u"sette",       u"otto",     u"nove",   u"dieci",       u"undici",   u"dodici",     u"tredici",
    u"quattordici", u"quindici", u"sedici", u"diciassette", u"diciotto", u"diciannove",
};

// Looked up with the tens digit minus one; entry 0 is never used.
constexpr std::array<const char16_t*, 9> Tens = {
    u"-", u"venti", u"trenta", u"quaranta", u"cinquanta", u"sessanta", u"settanta", u"ottanta", u"novanta",
};

int digitValue(QChar c)
{
    return c.unicode() - u'0';
}

// Two digits, the first of which may be "0": 05 gives cinque, 38 trentotto.
void appendPair(QString& words, QChar tensDigit, QChar unitsDigit)
{
    const int tens = digitValue(tensDigit);
    const int units = digitValue(unitsDigit);
    const int value = tens * 10 + units;
    if (value == 0)
        return;
    if (value < 20) {
        words += QStringView(Units[value]);
        return;
    }
    words += QStringView(Tens[tens - 1]);
    if (units == 0)
        return;
    // The tens word loses its final vowel before "uno" and "otto" only: ventuno, trentotto, ventitre.
    if (units == 1 || units == 8)
        words.chop(1);
    words += QStringView(Units[units]);
}

} // namespace

QString GroupInWords(const QString& digits)
{
    if (!IsDecimalDigits(digits))
        return {};
    const QStringView s = WithoutLeadingZeros(digits);
    QString words;
    switch (s.size()) {
    case 3:
        if (s[0] != u'1')
            words += QStringView(Units[digitValue(s[0])]);
        words += u"cento";
        appendPair(words, s[1], s[2]);
        break;
    case 2:
        appendPair(words, s[0], s[1]);
        break;
    case 1:
        words += QStringView(Units[digitValue(s[0])]);
        break;
    default:
        break;
    }
    return words;
}

namespace {

// Words for a millions or milliards group: "un" + the singular for one (unmilione, unmiliardo),
// otherwise the group's words + the plural, a final "uno" shortened to "un" as it is said before a
// noun (ventunmilioni, centounmilioni, trentunmiliardi). Nothing for a group of zeros.
QString largeGroupInWords(QStringView group, QStringView singular, QStringView plural)
{
    const QStringView value = WithoutLeadingZeros(group);
    if (value.isEmpty())
        return {};
    if (value == u"1")
        return QStringLiteral("un") + singular.toString();
    QString words = GroupInWords(value.toString());
    if (words.endsWith(u"uno"))
        words.chop(1);
    return words + plural.toString();
}

// Words for the thousands group: "mille" for one, otherwise the group's words + "mila" with no
// shortening (ventunomila, centounomila). Nothing for a group of zeros.
QString thousandsInWords(QStringView group)
{
    const QStringView value = WithoutLeadingZeros(group);
    if (value.isEmpty())
        return {};
    if (value == u"1")
        return QStringLiteral("mille");
    return GroupInWords(value.toString()) + QStringLiteral("mila");
}

} // namespace

std::optional<QString> AmountInWords(const QString& amountText)
{
    const qsizetype comma = amountText.indexOf(u',');
    const QString euros = comma < 0 ? QString() : TrimmedOfSpaces(amountText.left(comma));
    const QString cents = comma < 0 ? QString() : TrimmedOfSpaces(amountText.mid(comma + 1));
    if (!IsDecimalDigits(euros))
        return std::nullopt;
    const QStringView value = WithoutLeadingZeros(euros);
    if (value.size() > MaxAmountDigitsInWords)
        return std::nullopt;

    // Right-aligned groups of three digits: milliards, millions, thousands, units.
    const QString padded = QString(MaxAmountDigitsInWords - value.size(), u'0') + value.toString();
    const QStringView all(padded);
    QString words = largeGroupInWords(all.mid(0, 3), u"miliardo", u"miliardi");
    words += largeGroupInWords(all.mid(3, 3), u"milione", u"milioni");
    words += thousandsInWords(all.mid(6, 3));
    words += GroupInWords(all.mid(9, 3).toString());
    return words + u'/' + cents;
}

bool AmountWordsDisagree(const QString& amountText, const QString& words)
{
    const QString typed = words.trimmed();
    if (typed.isEmpty())
        return false;
    const QString amount = amountText.trimmed();
    const std::optional<QString> expected = amount.isEmpty() ? std::nullopt : AmountInWords(amount);
    return !expected || *expected != typed;
}

QString AmountWordsDisagreement(const QString& amountText)
{
    const QString amount = amountText.trimmed();
    if (amount.isEmpty())
        return QStringLiteral(
            "L'importo in lettere non corrisponde a nessun importo: quello in cifre è vuoto");
    const std::optional<QString> expected = AmountInWords(amount);
    if (!expected)
        return QStringLiteral("L'importo in lettere non corrisponde a %1, che non si scrive in lettere")
            .arg(amount);
    return QStringLiteral("L'importo in lettere non corrisponde a %1 (%2)").arg(amount, *expected);
}
