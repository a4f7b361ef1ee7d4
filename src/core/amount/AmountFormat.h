// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <optional>

// The amount text of a slip: the integer part in digits (at least one, no grouping), one comma and
// two decimals, as 1234,50. Formatting works on the digits themselves, so integer parts of any
// length keep every digit and rounding is exact.

// What the user is told when the amount cannot be formatted.
QString InvalidAmountMessage();

// The amount text for what the user typed: one comma, digits 0-9 on either side, either side possibly
// empty (",5" gives 0,50, "7," 7,00, "," 0,00). Leading zeros go ("0012,30" gives 12,30) and the
// decimals are rounded to two, a third decimal of 5 or more rounding up (1,995 gives 2,00).
// No result when there is not exactly one comma, or when any other character is present (spaces
// included: the caller trims first), as in an amount recalled from an old archive.
std::optional<QString> FormatAmount(const QString& text);
