// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/CodeLine.h"

namespace {

// Filling never shortens: a text of 8 characters or more stays as it is.
QString padded(const QString& text)
{
    return text.rightJustified(CodeLineDigits, QLatin1Char('0'), false);
}

} // namespace

QString CodeLineAmountPiece(const QString& amountText)
{
    const qsizetype comma = amountText.indexOf(QLatin1Char(','));
    const QString integerPart = comma < 0 ? amountText : amountText.left(comma);
    const QString decimalPart = comma < 0 ? QString() : amountText.mid(comma + 1);
    return padded(integerPart) + QLatin1Char('+') + decimalPart + QLatin1Char('>');
}

QString CodeLineAccountPiece(const QString& account)
{
    // Banks write a postal account with twelve digits, "000012345678": zeros beyond the eight the line
    // codes say nothing and would push the piece over the document type.
    qsizetype zeros = 0;
    while (account.size() - zeros > CodeLineDigits && account[zeros] == QLatin1Char('0'))
        ++zeros;
    return padded(account.mid(zeros)) + QLatin1Char('<');
}

bool CodeLinePiecesStandard(const SlipTexts& fields)
{
    const QString& amount = fields[Amount];
    const qsizetype comma = amount.indexOf(QLatin1Char(','));
    const qsizetype integerDigits = comma < 0 ? amount.size() : comma;
    const qsizetype decimals = comma < 0 ? 0 : amount.size() - comma - 1;
    return integerDigits <= CodeLineDigits && decimals <= 2 &&
           CodeLineAccountPiece(fields[AccountNumber]).size() <= CodeLineDigits + 1 &&
           fields[DocumentType].size() <= StandardDocumentTypeDigits;
}

QString CodeLineTypePiece(const QString& documentType)
{
    return documentType + QLatin1Char('>');
}

QString DocumentTypeMark(const QString& documentType)
{
    return QStringLiteral("TD    ") + documentType;
}
