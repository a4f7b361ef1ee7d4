// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/slip/FieldRules.h"

#include "core/slip/SlipText.h"

#include "core/slip/SlipFields.h"

FieldInput FieldInputOf(int field)
{
    switch (field) {
    case AccountNumber:
    case DocumentType:
    case PayerPostcode:
        return FieldInput::Digits;
    case Amount:
        return FieldInput::Amount;
    default:
        return FieldInput::AnyText;
    }
}

int FieldMaxLength(int field)
{
    return field == PayerPostcode ? PostcodeMaxLength : 0;
}

bool FieldAcceptsCharacter(int field, QChar c)
{
    switch (FieldInputOf(field)) {
    case FieldInput::Digits:
        return c >= u'0' && c <= u'9';
    case FieldInput::Amount:
        return (c >= u'0' && c <= u'9') || c == u',';
    case FieldInput::AnyText:
        break;
    }
    return true;
}

int FilterTypedCode(int field, int code)
{
    if (FieldInputOf(field) == FieldInput::AnyText || code == BackspaceCode)
        return code;
    if (code < 0 || code > 0xFFFF || !FieldAcceptsCharacter(field, QChar(code)))
        return CarriageReturnCode;
    return code;
}

bool IsLineBreak(QChar c)
{
    switch (c.unicode()) {
    case 0x000A:
    case 0x000B:
    case 0x000C:
    case 0x000D:
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

QString CleanInsertedText(int field, const QString& text)
{
    const bool filtered = FieldInputOf(field) != FieldInput::AnyText;
    QString cleaned;
    cleaned.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (IsLineBreak(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            c = u' ';
        }
        if (filtered && !FieldAcceptsCharacter(field, c))
            continue;
        cleaned += c;
    }
    const int maxLength = FieldMaxLength(field);
    if (maxLength > 0 && cleaned.size() > maxLength)
        cleaned.truncate(maxLength);
    return cleaned;
}
