// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sheet/SheetAmount.h"

#include "core/amount/AmountFormat.h"
#include "core/slip/SlipText.h"

using namespace Qt::StringLiterals;

namespace {

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\u00A0' || c == u'\u202F' || c == u'\u2007' || c == u'\t';
}

// The text without the currency's name or sign at either end and without spaces anywhere.
QString withoutCurrency(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (!isSpace(c) && c != u'€')
            out += c;
    }
    for (const QStringView name : {QStringView(u"EUR"), QStringView(u"euro")}) {
        if (out.startsWith(name, Qt::CaseInsensitive))
            out.remove(0, name.size());
        else if (out.endsWith(name, Qt::CaseInsensitive))
            out.chop(name.size());
    }
    return out;
}

// Whether groups, the parts between grouping marks, are a first group of one to three digits and
// then groups of exactly three.
bool isGrouped(const QStringList& groups)
{
    if (groups.size() < 2 || groups.front().isEmpty() || groups.front().size() > 3)
        return false;
    for (const QString& group : groups) {
        if (!IsDecimalDigits(group) || group.isEmpty() || group.size() > 3)
            return false;
    }
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3)
            return false;
    }
    return true;
}

} // namespace

std::variant<QString, SheetAmountRefusal> readSheetAmount(const SheetCell& cell, QChar separator)
{
    const QString shown = ElidedForMessage(TrimmedOfSpaces(QStringView(cell.text)));
    auto refused = [&](const QString& why) {
        return SheetAmountRefusal{u"l'importo «%1» %2"_s.arg(shown, why)};
    };
    const QString general = u"non è valido: scrivere solo cifre e una virgola, come 1234,50"_s;

    if (cell.kind == SheetCellKind::Date)
        return refused(u"è una data, non un importo"_s);

    // Integer digits and decimal digits, without any grouping.
    QString integer;
    QString decimals;
    bool hasDecimals = false;
    if (cell.kind == SheetCellKind::Number) {
        const QString& number = cell.number;
        if (number.startsWith(u'-'))
            return refused(u"è negativo"_s);
        const qsizetype point = number.indexOf(u'.');
        integer = point < 0 ? number : number.left(point);
        if (point >= 0) {
            decimals = number.mid(point + 1);
            hasDecimals = true;
        }
        if (integer.isEmpty() || !IsDecimalDigits(integer) || !IsDecimalDigits(decimals))
            return refused(general);
    } else {
        const QString text = withoutCurrency(cell.text);
        if (text.startsWith(u'-') || text.endsWith(u'-') || text.startsWith(u'('))
            return refused(u"è negativo"_s);
        const qsizetype commas = text.count(u',');
        const qsizetype dots = text.count(u'.');
        if (commas == 0 && dots == 0) {
            integer = text;
        } else if (commas > 0 && dots > 0) {
            // Both marks: the last one is the decimal mark, the other groups the digits.
            const bool commaDecimal = text.lastIndexOf(u',') > text.lastIndexOf(u'.');
            const QChar decimal = commaDecimal ? u',' : u'.';
            const QChar group = commaDecimal ? u'.' : u',';
            if (text.count(decimal) > 1)
                return refused(general);
            if (!commaDecimal && separator != u',')
                return refused(u"ha il punto per i decimali e la virgola per le migliaia: in questo file "
                               u"scrivere 1234,50"_s);
            const qsizetype at = text.lastIndexOf(decimal);
            if (!isGrouped(text.left(at).split(group)))
                return refused(general);
            integer = text.left(at).remove(group);
            decimals = text.mid(at + 1);
            hasDecimals = true;
        } else {
            const QChar mark = commas > 0 ? u',' : u'.';
            const QStringList parts = text.split(mark);
            // One mark and three digits after it reads two ways where that mark also groups: the dot
            // always (Italian grouping), the comma in a file separated by commas (English grouping).
            const bool markGroups = mark == u'.' || separator == u',';
            // Only digits on both sides read two ways, and a group of thousands never starts with a
            // zero: "0,001" is a decimal, "3,5E1" no number at all.
            if (parts.size() == 2 && parts[1].size() == 3 && markGroups && !parts[0].isEmpty() &&
                !parts[0].startsWith(u'0') && IsDecimalDigits(parts[0]) && IsDecimalDigits(parts[1])) {
                return refused(u"si legge in due modi (migliaia o decimali): scrivere %1 oppure %2"_s.arg(
                    parts[0] + parts[1] + u",00"_s, parts[0] + u',' + parts[1]));
            }
            if (parts.size() > 2) {
                if (!markGroups || !isGrouped(parts))
                    return refused(general);
                integer = parts.join(QString());
            } else {
                // A decimal mark: "35,5", also quoted in a file separated by commas, or "35.5".
                integer = parts[0];
                decimals = parts[1];
                hasDecimals = true;
            }
        }
        if (!IsDecimalDigits(integer) || !IsDecimalDigits(decimals) || (integer.isEmpty() && !hasDecimals))
            return refused(general);
    }
    const std::optional<QString> formatted = FormatAmount(integer + u',' + decimals);
    if (!formatted)
        return refused(general);
    return *formatted;
}
