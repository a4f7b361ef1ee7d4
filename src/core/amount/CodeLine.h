// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The machine-readable code line: the same pieces are previewed on the slip form and printed.

// Integer part of the amount padded with "0" to 8 characters, "+", the decimals, ">": 00001234+56>.
// A text without a comma is taken as an integer part with no decimals.
QString CodeLineAmountPiece(const QString& amountText);
// Account padded with "0" to 8 characters, then "<": 00012345<.
QString CodeLineAccountPiece(const QString& account);
// Document type, then ">": 123>.
QString CodeLineTypePiece(const QString& documentType);
// "TD    " then the document type: the mark near the top of the payment part.
QString DocumentTypeMark(const QString& documentType);
