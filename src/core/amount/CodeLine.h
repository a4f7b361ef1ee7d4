// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

#include <QString>

// The machine-readable code line: the same pieces are previewed on the slip form and printed.

// Integer part of the amount padded with "0" to 8 characters, "+", the decimals, ">": 00001234+56>.
// A text without a comma is taken as an integer part with no decimals.
QString CodeLineAmountPiece(const QString& amountText);
// Digits the amount's integer part and the account are filled to.
inline constexpr int CodeLineDigits = 8;
// The longest document type the slips print ("123", "896").
inline constexpr int StandardDocumentTypeDigits = 3;

// Account padded with "0" to 8 characters, then "<": 00012345<. A longer account loses the leading
// zeros it does not need: 000012345678 gives 12345678<, 0123456789 gives 123456789<.
QString CodeLineAccountPiece(const QString& account);
// Document type, then ">": 123>.
QString CodeLineTypePiece(const QString& documentType);
// "TD    " then the document type: the mark near the top of the payment part.
QString DocumentTypeMark(const QString& documentType);

// True when every piece has its usual length (eight integer digits at most and two decimals, an
// account of eight digits once its spare zeros are gone, a type of three digits): the pieces then
// stand where the slip's captions are and never touch.
bool CodeLinePiecesStandard(const SlipTexts& fields);
