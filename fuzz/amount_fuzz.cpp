// SPDX-License-Identifier: GPL-3.0-or-later

// Amount formatting, amount in words and field cleaning on arbitrary text. Besides not crashing, every
// result must have the promised form, and the words must read back as the formatted amount.
#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"
#include "core/slip/FieldRules.h"
#include "core/slip/SlipFields.h"
#include "core/slip/SlipText.h"

#include <QRegularExpression>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

[[noreturn]] void fail(const char* what, const QString& input, const QString& output)
{
    std::fprintf(stderr, "%s\n  input:  \"%s\"\n  output: \"%s\"\n", what, qPrintable(input),
                 qPrintable(output));
    std::abort();
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Whether the text is one comma with only digits 0-9 around it: what formatting must accept.
bool looksLikeAmount(const QString& text)
{
    int commas = 0;
    for (QChar c : text) {
        if (c == u',')
            ++commas;
        else if (!isAsciiDigit(c))
            return false;
    }
    return commas == 1;
}

// Reads Italian number words (as written on a slip) back into a number; -1 when they do not parse.
class WordReader
{
public:
    explicit WordReader(std::u16string_view words) : m_rest(words) {}

    long long readAmount()
    {
        const long long milliards = readLarge(u"unmiliardo", u"miliardi");
        const long long millions = readLarge(u"unmilione", u"milioni");
        const long long below = readBelowMillion();
        return below < 0 ? -1 : milliards * 1'000'000'000 + millions * 1'000'000 + below;
    }

private:
    // A milliards or millions group: 1 for the singular word, 2 to 999 before the plural with a
    // final "uno" written "un"; 0, having read nothing, when the group is not there.
    long long readLarge(std::u16string_view one, std::u16string_view plural)
    {
        if (take(one))
            return 1;
        const std::u16string_view start = m_rest;
        const long long group = readGroup(true);
        if (group >= 2 && take(plural))
            return group;
        m_rest = start;
        return 0;
    }

    long long readBelowMillion()
    {
        if (m_rest.empty())
            return 0;
        long long total = 0;
        if (take(u"mille")) {
            total = 1000;
        } else {
            const long long group = readGroup(false);
            if (group < 0)
                return -1;
            if (take(u"mila")) {
                if (group < 2)
                    return -1;
                total = group * 1000;
            } else {
                return m_rest.empty() ? group : -1;
            }
        }
        if (m_rest.empty())
            return total;
        const long long group = readGroup(false);
        return group > 0 && m_rest.empty() ? total + group : -1;
    }

    bool take(std::u16string_view word)
    {
        if (m_rest.substr(0, word.size()) != word)
            return false;
        m_rest.remove_prefix(word.size());
        return true;
    }

    // 1 to 999, or -1. With shortOne, a final one is "un" instead of "uno".
    long long readGroup(bool shortOne)
    {
        long long value = 0;
        if (take(u"cento")) {
            value = 100;
        } else {
            for (int h = 2; h <= 9 && value == 0; ++h) {
                if (m_rest.substr(0, Units[h].size()) == Units[h] &&
                    m_rest.substr(Units[h].size(), 5) == u"cento") {
                    m_rest.remove_prefix(Units[h].size() + 5);
                    value = 100 * h;
                }
            }
        }
        for (std::size_t t = 0; t < Tens.size(); ++t) {
            const std::u16string_view full = Tens[t];
            if (take(full.substr(0, full.size() - 1))) {
                const bool fullVowel = take(full.substr(full.size() - 1));
                const int units = takeUnit(1, 9, shortOne);
                if (fullVowel == (units == 1 || units == 8))
                    return -1; // the vowel goes before "uno" and "otto" only
                return value + 10 * static_cast<long long>(t + 2) + units;
            }
        }
        value += takeUnit(1, 19, shortOne);
        return value > 0 ? value : -1;
    }

    // The longest units word with a value from low to high; 0 when none.
    int takeUnit(int low, int high, bool shortOne)
    {
        const auto word = [shortOne](int i) {
            return i == 1 && shortOne ? std::u16string_view(u"un") : Units[i];
        };
        int best = 0;
        for (int i = low; i <= high; ++i) {
            if (m_rest.substr(0, word(i).size()) == word(i) &&
                (best == 0 || word(i).size() > word(best).size()))
                best = i;
        }
        if (best > 0)
            m_rest.remove_prefix(word(best).size());
        return best;
    }

    static constexpr std::array<std::u16string_view, 20> Units = {
        u"zero",        u"uno",      u"due",    u"tre",         u"quattro",  u"cinque",    u"sei",
        u"sette",       u"otto",     u"nove",   u"dieci",       u"undici",   u"dodici",    u"tredici",
        u"quattordici", u"quindici", u"sedici", u"diciassette", u"diciotto", u"diciannove"};
    static constexpr std::array<std::u16string_view, 8> Tens = {
        u"venti", u"trenta", u"quaranta", u"cinquanta", u"sessanta", u"settanta", u"ottanta", u"novanta"};

    std::u16string_view m_rest;
};

void checkFormatting(const QString& input)
{
    const std::optional<QString> formatted = FormatAmount(input);
    if (formatted.has_value() != looksLikeAmount(input))
        fail(formatted ? "formatted a text that is not an amount" : "refused an amount", input,
             formatted.value_or(QString()));
    if (!formatted)
        return;

    static const QRegularExpression amountForm(QStringLiteral("^(0|[1-9][0-9]*),[0-9]{2}$"));
    if (!amountForm.match(*formatted).hasMatch())
        fail("formatted amount of the wrong form", input, *formatted);
    if (FormatAmount(*formatted) != formatted)
        fail("formatting a formatted amount changed it", input, *formatted);

    // Against plain integer arithmetic while the digits fit: hundredths rounded half up.
    const qsizetype comma = input.indexOf(u',');
    const QString integerDigits = input.left(comma);
    const QString decimals = input.mid(comma + 1);
    qsizetype significant = 0;
    while (significant < integerDigits.size() && integerDigits[significant] == u'0')
        ++significant;
    if (integerDigits.size() - significant <= 15) {
        long long hundredths =
            integerDigits.isEmpty() ? 0 : integerDigits.mid(significant).toLongLong() * 100;
        hundredths += decimals.size() > 0 ? 10 * (decimals[0].unicode() - u'0') : 0;
        hundredths += decimals.size() > 1 ? decimals[1].unicode() - u'0' : 0;
        if (decimals.size() > 2 && decimals[2] >= u'5')
            ++hundredths;
        const QString expected = QString::number(hundredths / 100) + u',' +
                                 QString::number(hundredths % 100).rightJustified(2, u'0');
        if (*formatted != expected)
            fail("formatted amount differs from integer arithmetic", input, *formatted);
    }

    const std::optional<QString> words = AmountInWords(*formatted);
    const qsizetype formattedComma = formatted->indexOf(u',');
    if (words.has_value() != (formattedComma <= 12))
        fail("words given or withheld for the wrong size", input, words.value_or(QString()));
    if (!words)
        return;
    static const QRegularExpression wordsForm(QStringLiteral("^[a-z]*/[0-9]{2}$"));
    if (!wordsForm.match(*words).hasMatch())
        fail("words of the wrong form", input, *words);
    if (words->right(3) != formatted->right(3).replace(u',', u'/'))
        fail("cents not copied", input, *words);
    const QString euroWords = words->left(words->size() - 3);
    WordReader reader(std::u16string_view(reinterpret_cast<const char16_t*>(euroWords.utf16()),
                                          static_cast<std::size_t>(euroWords.size())));
    if (reader.readAmount() != formatted->left(formattedComma).toLongLong())
        fail("words do not read back as the amount", input, *words);
}

void checkFieldCleaning(const QString& input)
{
    for (int field = 0; field < SlipFieldCount; ++field) {
        const QString cleaned = CleanInsertedText(field, input);
        for (QChar c : cleaned) {
            if (IsLineBreak(c))
                fail("line break left in a field", input, cleaned);
            if (!FieldAcceptsCharacter(field, c))
                fail("refused character left in a field", input, cleaned);
        }
        if (FieldMaxLength(field) > 0 && cleaned.size() > FieldMaxLength(field))
            fail("cleaned text longer than the field allows", input, cleaned);
        if (CleanInsertedText(field, cleaned) != cleaned)
            fail("cleaning a cleaned text changed it", input, cleaned);
    }
    const QString trimmed = TrimmedOfSpaces(input);
    if (trimmed.startsWith(u' ') || trimmed.endsWith(u' ') || !input.contains(trimmed))
        fail("trimming left a space or changed the middle", input, trimmed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString input =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkFormatting(input);
    checkFieldCleaning(input);
    (void)GroupInWords(input);
    (void)AmountInWords(input);
    return 0;
}
