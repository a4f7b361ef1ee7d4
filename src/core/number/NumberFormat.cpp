// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/number/NumberFormat.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace {

using Token = NumberFormat::Token;
using Section = NumberFormat::Section;

bool isDateLetter(QChar c)
{
    const QChar lower = c.toLower();
    return lower == u'y' || lower == u'm' || lower == u'd' || lower == u'h' || lower == u's';
}

// One section of a format code into tokens.
Section tokenise(QStringView code)
{
    Section section;
    auto literal = [&section](const QString& text) {
        if (!section.tokens.isEmpty() && section.tokens.last().kind == Token::Literal)
            section.tokens.last().text += text;
        else
            section.tokens.append(Token{Token::Literal, text});
    };
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i];
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            literal(code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1).toString());
            i = end < 0 ? code.size() : end;
        } else if (c == u'\\' || c == u'!') {
            if (i + 1 < code.size())
                literal(QString(code[++i]));
        } else if (c == u'_') {
            ++i; // the room of the next character
            literal(u" "_s);
        } else if (c == u'*') {
            ++i; // a fill: nothing of it shows in a cell's text
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            const QStringView inside = code.mid(i + 1, (end < 0 ? code.size() : end) - i - 1);
            i = end < 0 ? code.size() : end;
            if (inside.startsWith(u'$')) {
                // A currency or locale: [$€-410] shows "€", [$-410] nothing.
                const qsizetype dash = inside.indexOf(u'-');
                literal(inside.mid(1, dash < 0 ? -1 : dash - 1).toString());
            } else if (!inside.isEmpty() && (inside[0].isLetter() && !isDateLetter(inside[0]))) {
                // A colour ([Red], [ROT], [Color 5]): not part of the text.
            } else {
                section.supported = false; // a condition or an elapsed time
            }
        } else if (c == u'0') {
            section.tokens.append(Token{Token::Zero, {}});
        } else if (c == u'#') {
            section.tokens.append(Token{Token::Hash, {}});
        } else if (c == u'?') {
            section.tokens.append(Token{Token::Question, {}});
        } else if (c == u'.') {
            section.tokens.append(Token{Token::Point, {}});
        } else if (c == u',') {
            section.tokens.append(Token{Token::Comma, {}});
        } else if (c == u'%') {
            section.tokens.append(Token{Token::Percent, {}});
        } else if (c == u'@') {
            section.tokens.append(Token{Token::At, {}});
        } else if ((c == u'E' || c == u'e') && i + 1 < code.size() &&
                   (code[i + 1] == u'+' || code[i + 1] == u'-')) {
            section.tokens.append(Token{Token::Exponent, QString(code[++i])});
        } else if (code.mid(i).startsWith(u"general", Qt::CaseInsensitive)) {
            section.tokens.append(Token{Token::General, {}});
            i += 6;
        } else if (code.mid(i).startsWith(u"am/pm", Qt::CaseInsensitive)) {
            section.tokens.append(Token{Token::DatePart, u"am/pm"_s});
            i += 4;
        } else if (code.mid(i).startsWith(u"a/p", Qt::CaseInsensitive)) {
            section.tokens.append(Token{Token::DatePart, u"a/p"_s});
            i += 2;
        } else if (isDateLetter(c)) {
            QString letters;
            const QChar lower = c.toLower();
            while (i < code.size() && code[i].toLower() == lower)
                letters += code[i++].toLower();
            --i;
            section.tokens.append(Token{Token::DatePart, letters});
        } else if (c == u'/') {
            literal(u"/"_s);
        } else {
            literal(QString(c));
        }
    }
    return section;
}

// A fraction ("# ?/?") is a "/" between digit placeholders: not shown as such, the plain value is.
bool hasFraction(const Section& section)
{
    for (qsizetype i = 1; i + 1 < section.tokens.size(); ++i) {
        const Token& token = section.tokens[i];
        if (token.kind == Token::Literal && token.text.contains(u'/')) {
            const Token::Kind before = section.tokens[i - 1].kind;
            const Token::Kind after = section.tokens[i + 1].kind;
            auto digit = [](Token::Kind kind) {
                return kind == Token::Zero || kind == Token::Hash || kind == Token::Question;
            };
            if (digit(before) && digit(after))
                return true;
        }
    }
    return false;
}

bool isPlaceholder(Token::Kind kind)
{
    return kind == Token::Zero || kind == Token::Hash || kind == Token::Question;
}

// "1234567" as "1.234.567".
QString grouped(const QString& digits)
{
    QString out;
    const qsizetype size = digits.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (i > 0 && (size - i) % 3 == 0)
            out += u'.';
        out += digits[i];
    }
    return out;
}

QString generalText(const ExactNumber& value)
{
    return value.plain().replace(u'.', u',');
}

// Where a number section's digits go: the first and last placeholder, the point, the exponent (each
// an index into the tokens, -1 when absent), and what the placeholders ask of the digits.
struct DigitPlaces {
    qsizetype first = -1;
    qsizetype last = -1;
    qsizetype point = -1;
    qsizetype exponent = -1;
    bool percent = false;
    bool general = false;
    qsizetype wholeEnd = 0; // past the whole part's tokens
    int minWhole = 0;       // its "0"s
    bool grouping = false;  // a "," among them
    QList<qsizetype> wholePlaces;
    int decimals = 0;
    int minDecimals = 0; // up to the last "0" after the point
    QList<qsizetype> fractionPlaces;
};

// Where the digits go in tokens; nothing when the section holds a part of a date or time.
std::optional<DigitPlaces> digitPlacesOf(const QList<Token>& tokens)
{
    DigitPlaces places;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token::Kind kind = tokens[i].kind;
        if (kind == Token::General || kind == Token::At)
            places.general = true;
        if (kind == Token::Percent)
            places.percent = true;
        if (kind == Token::DatePart)
            return std::nullopt;
        if (places.exponent >= 0)
            continue; // the exponent's own digits
        if (isPlaceholder(kind)) {
            if (places.first < 0)
                places.first = i;
            places.last = i;
        } else if (kind == Token::Point && places.point < 0) {
            places.point = i;
            if (places.first < 0)
                places.first = i; // ".00": no whole digits
        } else if (kind == Token::Exponent) {
            places.exponent = i;
        }
    }
    if (places.first < 0)
        return places;
    places.wholeEnd =
        places.point >= 0 ? places.point : (places.exponent >= 0 ? places.exponent : places.last + 1);
    for (qsizetype i = places.first; i < places.wholeEnd; ++i) {
        if (isPlaceholder(tokens[i].kind)) {
            places.wholePlaces.append(i);
            if (tokens[i].kind == Token::Zero)
                ++places.minWhole;
        } else if (tokens[i].kind == Token::Comma) {
            places.grouping = true;
        }
    }
    if (places.point >= 0) {
        for (qsizetype i = places.point + 1; i <= places.last && (places.exponent < 0 || i < places.exponent);
             ++i) {
            if (isPlaceholder(tokens[i].kind)) {
                places.fractionPlaces.append(i);
                ++places.decimals;
                if (tokens[i].kind == Token::Zero)
                    places.minDecimals = places.decimals;
            }
        }
    }
    return places;
}

// A section without digit placeholders: its literals alone, or the plain value where "General"
// stands.
QString withoutDigits(const QList<Token>& tokens, const ExactNumber& value, const QString& sign, bool general)
{
    QString out;
    for (const Token& token : tokens) {
        if (token.kind == Token::Literal)
            out += token.text;
        else if (token.kind == Token::General || token.kind == Token::At)
            out += generalText(value);
        else if (token.kind == Token::Percent)
            out += u'%';
    }
    return general ? sign + out : out.isEmpty() ? sign + generalText(value) : sign + out;
}

// A comma after the last placeholder scales by a thousand: not shown that way here.
bool scalesByThousands(const QList<Token>& tokens, const DigitPlaces& places)
{
    for (qsizetype i = places.last + 1; i < tokens.size() && (places.point < 0 || i < places.point); ++i) {
        if (tokens[i].kind == Token::Comma)
            return true;
    }
    return false;
}

// Scientific: value becomes the mantissa, as many whole digits as placeholders before the point (at
// least one), rounded; the answer is the exponent's text ("E+03").
QString scientific(const QList<Token>& tokens, const DigitPlaces& places, ExactNumber& value)
{
    const int wholeDigits = std::max<int>(1, int(places.wholePlaces.size()));
    int power = 0;
    if (!value.isZero()) {
        power = int(value.digits.size()) + value.exponent - wholeDigits;
        ExactNumber mantissa = value.shifted(-power).rounded(places.decimals);
        if (int(mantissa.digits.size()) + mantissa.exponent > wholeDigits)
            ++power; // 9,99 rounded up to 10,0
    }
    value = value.shifted(-power).rounded(places.decimals);
    int exponentDigits = 0;
    for (qsizetype i = places.exponent + 1; i < tokens.size() && isPlaceholder(tokens[i].kind); ++i)
        ++exponentDigits;
    QString powerDigits = QString::number(std::abs(power)).rightJustified(exponentDigits, u'0');
    return u"E"_s +
           (power < 0                              ? u"-"_s
            : tokens[places.exponent].text == u"+" ? u"+"_s
                                                   : QString()) +
           powerDigits;
}

// The whole part's digits on their placeholders, with the literals among them.
QString wholeDigits(const QList<Token>& tokens, const DigitPlaces& places, const QString& whole)
{
    QString out;
    if (places.grouping || places.wholePlaces.size() <= 1) {
        out += places.grouping ? grouped(whole) : whole;
        for (qsizetype i = places.first; i < places.wholeEnd; ++i) {
            if (tokens[i].kind == Token::Literal)
                out += tokens[i].text; // a literal among the whole digits, after them
        }
        return out;
    }
    // Digits placed from the right on the placeholders, literals where they stand ("000-000");
    // digits beyond the placeholders go before the first one.
    QStringList pieces(places.wholeEnd - places.first);
    qsizetype next = whole.size();
    for (qsizetype i = places.wholeEnd - 1; i >= places.first; --i) {
        const Token& token = tokens[i];
        QString& piece = pieces[i - places.first];
        if (token.kind == Token::Literal) {
            piece = token.text;
        } else if (isPlaceholder(token.kind)) {
            if (next > 0)
                piece = whole.mid(--next, 1);
            else if (token.kind == Token::Question)
                piece = u" "_s;
            if (i == places.wholePlaces.first() && next > 0)
                piece.prepend(whole.left(next));
        }
    }
    return out + pieces.join(QString());
}

// The decimal comma and the decimals on their placeholders, with the literals among them.
QString fractionDigits(const QList<Token>& tokens, const DigitPlaces& places, const QString& fraction)
{
    QString out;
    if (places.point >= 0 && (!fraction.isEmpty() || places.fractionPlaces.isEmpty()))
        out += u',';
    qsizetype fractionAt = 0;
    const qsizetype fractionEnd = places.exponent >= 0 ? places.exponent : places.last + 1;
    for (qsizetype i = places.point >= 0 ? places.point + 1 : fractionEnd; i < fractionEnd; ++i) {
        const Token& token = tokens[i];
        if (isPlaceholder(token.kind)) {
            if (fractionAt < fraction.size())
                out += fraction[fractionAt];
            else if (token.kind == Token::Question)
                out += u' ';
            ++fractionAt;
        } else if (token.kind == Token::Literal) {
            out += token.text;
        }
    }
    return out;
}

const char16_t* const MonthNames[12] = {u"gennaio",   u"febbraio", u"marzo",    u"aprile",
                                        u"maggio",    u"giugno",   u"luglio",   u"agosto",
                                        u"settembre", u"ottobre",  u"novembre", u"dicembre"};
const char16_t* const DayNames[7] = {u"lunedì",  u"martedì", u"mercoledì", u"giovedì",
                                     u"venerdì", u"sabato",  u"domenica"};

} // namespace

NumberFormat::NumberFormat(QStringView code)
{
    // Sections split at ";" outside quotes, escapes and brackets.
    qsizetype start = 0;
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i <= code.size(); ++i) {
        if (i == code.size() || (code[i] == u';' && !quoted && bracket == 0)) {
            m_sections.append(tokenise(code.mid(start, i - start)));
            start = i + 1;
            continue;
        }
        const QChar c = code[i];
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && c == u'\\')
            ++i;
        else if (!quoted && c == u'[')
            ++bracket;
        else if (!quoted && c == u']' && bracket > 0)
            --bracket;
    }
    if (!m_sections.isEmpty()) {
        for (const Token& token : std::as_const(m_sections.first().tokens))
            m_date = m_date || token.kind == Token::DatePart;
    }
    for (Section& section : m_sections)
        section.supported = section.supported && !hasFraction(section);
}

NumberFormat NumberFormat::builtin(int id)
{
    switch (id) {
    case 1:
        return NumberFormat(u"0");
    case 2:
        return NumberFormat(u"0.00");
    case 3:
        return NumberFormat(u"#,##0");
    case 4:
        return NumberFormat(u"#,##0.00");
    case 5:
    case 37:
        return NumberFormat(u"#,##0 ;(#,##0)");
    case 6:
    case 38:
        return NumberFormat(u"#,##0 ;[Red](#,##0)");
    case 7:
    case 39:
        return NumberFormat(u"#,##0.00;(#,##0.00)");
    case 8:
    case 40:
        return NumberFormat(u"#,##0.00;[Red](#,##0.00)");
    case 9:
        return NumberFormat(u"0%");
    case 10:
        return NumberFormat(u"0.00%");
    case 11:
        return NumberFormat(u"0.00E+00");
    case 14: // the system's short date: an Italian one
        return NumberFormat(u"dd/mm/yyyy");
    case 15:
        return NumberFormat(u"d-mmm-yy");
    case 16:
        return NumberFormat(u"d-mmm");
    case 17:
        return NumberFormat(u"mmm-yy");
    case 18:
        return NumberFormat(u"h:mm AM/PM");
    case 19:
        return NumberFormat(u"h:mm:ss AM/PM");
    case 20:
        return NumberFormat(u"h:mm");
    case 21:
        return NumberFormat(u"h:mm:ss");
    case 22:
        return NumberFormat(u"dd/mm/yyyy h:mm");
    case 45:
        return NumberFormat(u"mm:ss");
    case 46:
        return NumberFormat(u"[h]:mm:ss");
    case 47:
        return NumberFormat(u"mm:ss.0");
    case 48:
        return NumberFormat(u"##0.0E+0");
    case 49:
        return NumberFormat(u"@");
    default:
        return NumberFormat();
    }
}

QString NumberFormat::show(const ExactNumber& value) const
{
    if (m_sections.isEmpty())
        return generalText(value);
    const Section* section = &m_sections[0];
    bool withSign = value.negative;
    if (value.negative && m_sections.size() >= 2 && !m_sections[1].tokens.isEmpty()) {
        section = &m_sections[1];
        withSign = false; // the negative section writes its own sign, if any
    } else if (value.isZero() && m_sections.size() >= 3 && !m_sections[2].tokens.isEmpty()) {
        section = &m_sections[2];
    }
    if (!section->supported)
        return generalText(value);
    ExactNumber magnitude = value;
    magnitude.negative = false;
    return showNumber(*section, magnitude, withSign);
}

QString NumberFormat::showNumber(const Section& section, const ExactNumber& magnitude, bool withSign) const
{
    const QList<Token>& tokens = section.tokens;
    const QString sign = withSign ? u"-"_s : QString();
    const std::optional<DigitPlaces> places = digitPlacesOf(tokens);
    if (!places)
        return sign + generalText(magnitude); // a time for a number
    ExactNumber value = places->percent ? magnitude.shifted(2) : magnitude;
    if (places->first < 0)
        return withoutDigits(tokens, value, sign, places->general);
    if (scalesByThousands(tokens, *places))
        return sign + generalText(value);

    const QString exponentText = places->exponent >= 0 ? scientific(tokens, *places, value) : QString();
    QString whole;
    QString fraction;
    value.split(places->decimals, whole, fraction);
    // Unneeded trailing zeros go where "#" or "?" stand.
    while (fraction.size() > places->minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    if (whole.size() < places->minWhole)
        whole = whole.rightJustified(places->minWhole, u'0');

    QString out = sign;
    // Literals before the first placeholder.
    for (qsizetype i = 0; i < places->first; ++i) {
        if (tokens[i].kind == Token::Literal)
            out += tokens[i].text;
        else if (tokens[i].kind == Token::Percent)
            out += u'%';
    }
    out += wholeDigits(tokens, *places, whole);
    out += fractionDigits(tokens, *places, fraction);
    if (places->exponent >= 0) {
        out += exponentText;
        qsizetype i = places->exponent + 1;
        while (i < tokens.size() && isPlaceholder(tokens[i].kind))
            ++i;
        for (; i < tokens.size(); ++i) {
            if (tokens[i].kind == Token::Literal)
                out += tokens[i].text;
        }
        return out;
    }
    for (qsizetype i = places->last + 1; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Literal)
            out += tokens[i].text;
        else if (tokens[i].kind == Token::Percent)
            out += u'%';
    }
    return out;
}

QString NumberFormat::showDate(QDate date, int secondsOfDay) const
{
    const Section& section = m_sections.first();
    bool twelveHours = false;
    for (const Token& token : section.tokens)
        twelveHours = twelveHours || (token.kind == Token::DatePart && token.text.contains(u'/'));
    const int hour = secondsOfDay / 3600;
    const int minute = secondsOfDay / 60 % 60;
    const int second = secondsOfDay % 60;
    QString out;
    const QList<Token>& tokens = section.tokens;
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const Token& token = tokens[i];
        if (token.kind != Token::DatePart) {
            if (token.kind == Token::Literal)
                out += token.text;
            else if (token.kind == Token::Point)
                out += u',';
            else if (token.kind == Token::Zero)
                out += u'0'; // tenths of a second: whole seconds only
            continue;
        }
        const QString& letters = token.text;
        const QChar kind = letters[0];
        const qsizetype count = letters.size();
        if (kind == u'y') {
            out += count <= 2 ? QString::number(date.year() % 100).rightJustified(2, u'0')
                              : QString::number(date.year());
        } else if (kind == u'm') {
            // Minutes after an hour or before seconds, the month otherwise.
            bool minutes = false;
            for (qsizetype j = i - 1; j >= 0; --j) {
                if (tokens[j].kind == Token::DatePart) {
                    minutes = tokens[j].text[0] == u'h';
                    break;
                }
            }
            for (qsizetype j = i + 1; j < tokens.size() && !minutes; ++j) {
                if (tokens[j].kind == Token::DatePart) {
                    minutes = tokens[j].text[0] == u's';
                    break;
                }
            }
            if (minutes && count <= 2) {
                out += QString::number(minute).rightJustified(int(count), u'0');
            } else if (count <= 2) {
                out += QString::number(date.month()).rightJustified(int(count), u'0');
            } else {
                const QString name = QString::fromUtf16(MonthNames[date.month() - 1]);
                out += count == 3 ? name.left(3) : count == 4 ? name : name.left(1);
            }
        } else if (kind == u'd') {
            if (count <= 2) {
                out += QString::number(date.day()).rightJustified(int(count), u'0');
            } else {
                const QString name = QString::fromUtf16(DayNames[date.dayOfWeek() - 1]);
                out += count == 3 ? name.left(3) : name;
            }
        } else if (kind == u'h') {
            int shown = hour;
            if (twelveHours) {
                shown = hour % 12;
                if (shown == 0)
                    shown = 12;
            }
            out += QString::number(shown).rightJustified(int(std::min<qsizetype>(count, 2)), u'0');
        } else if (kind == u's') {
            out += QString::number(second).rightJustified(int(std::min<qsizetype>(count, 2)), u'0');
        } else if (letters == u"am/pm") {
            out += hour < 12 ? u"AM"_s : u"PM"_s;
        } else if (letters == u"a/p") {
            out += hour < 12 ? u"A"_s : u"P"_s;
        }
    }
    return out;
}

QDate dateOfSerial(qint64 serial, bool system1904)
{
    QDate date;
    if (system1904) {
        if (serial >= 0)
            date = QDate(1904, 1, 1).addDays(serial);
    } else if (serial >= 1 && serial < 60) {
        date = QDate(1899, 12, 31).addDays(serial);
    } else if (serial > 60) {
        date = QDate(1899, 12, 30).addDays(serial);
    }
    if (date.isValid() && date.year() > 9999)
        return {};
    return date;
}

qint64 serialOfDate(QDate date)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(date);
    return days < 61 ? days - 1 : days;
}
