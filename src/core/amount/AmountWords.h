// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

// The amount in words as written on a slip: the euros in Italian words, one word without spaces or
// accents, then "/" and the cents in figures (1234,56 gives milleduecentotrentaquattro/56).

// Words for a string of decimal digits that holds at most three digits once its leading zeros are
// dropped ("047" gives quarantasette, "000" the empty text). Anything longer, or a character that is
// not a digit 0-9, gives the empty text.
QString GroupInWords(const QString& digits);

// The most euro digits written in words (leading zeros not counted): 999 999 999 999.
inline constexpr qsizetype MaxAmountDigitsInWords = 12;

// Words for an amount text "euros,cents": the euros in words, "/", the cents as they stand after the
// first comma (both parts trimmed of spaces). Past the thousands the words are those written on a
// cheque: unmilione, duemilioni, unmiliardo, with a final "uno" shortened before milioni and
// miliardi (ventunmilioni, centounmiliardi) but not before mila (ventunomila).
// No result when the euro part has more than MaxAmountDigitsInWords digits once its leading zeros
// are dropped, or holds a character that is not a digit 0-9.
std::optional<QString> AmountInWords(const QString& amountText);

// The amount-in-words field typed over: it holds text that is not the words of the amount in figures
// (a name typed there by mistake, words left from another amount). The slip allows it and the text is
// kept; the form marks the field and asks before printing or saving. Empty words never disagree.
bool AmountWordsDisagree(const QString& amountText, const QString& words);
// Why, for the field's tool tip: "L'importo in lettere non corrisponde a 35,50 (trentacinque/50)".
QString AmountWordsDisagreement(const QString& amountText);
