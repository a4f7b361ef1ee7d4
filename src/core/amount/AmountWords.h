#pragma once

#include <QString>

#include <optional>

// The amount in words as written on a slip: the euros in Italian words, one word without spaces or
// accents, then "/" and the cents in figures (1234,56 gives milleduecentotrentaquattro/56).

// Words for a string of decimal digits that holds at most three digits once its leading zeros are
// dropped ("047" gives quarantasette, "000" the empty text). Anything longer, or a character that is
// not a digit 0-9, gives the empty text.
QString GroupInWords(const QString& digits);

// Words for an amount text "euros,cents": the euros in words, "/", the cents as they stand after the
// first comma (both parts trimmed of spaces). No result when the euro part has more than six
// characters or holds a character that is not a digit 0-9.
std::optional<QString> AmountInWords(const QString& amountText);
