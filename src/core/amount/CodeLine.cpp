// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/CodeLine.h"

namespace {

// Filling never shortens: a text of 8 characters or more stays as it is.
QString padded(const QString& text)
{
    return text.rightJustified(8, QLatin1Char('0'), false);
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
    return padded(account) + QLatin1Char('<');
}

QString CodeLineTypePiece(const QString& documentType)
{
    return documentType + QLatin1Char('>');
}

QString DocumentTypeMark(const QString& documentType)
{
    return QStringLiteral("TD    ") + documentType;
}
