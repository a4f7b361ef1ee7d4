// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sheet/SheetCells.h"

#include <QChar>
#include <QString>

#include <variant>

// An amount as spreadsheets write it, read into the slip's own form (1234,50), or refused with the
// reason. What a sheet may hold beyond the form's own "1234,50":
// - a whole number, that many euro: 35 is 35,00;
// - a euro sign, "EUR" or "euro" before or after, and spaces (also the no-break spaces sheets put
//   between groups), which go;
// - Italian grouping, dots between groups of three digits: 1.234,50 and 1.234.567;
// - a decimal point when it cannot be a grouping dot: 35.5, 0.125;
// - in a file separated by commas, English grouping: 1,234.50 and 1,234,567;
// - a numeric cell of a workbook, by its stored value, exactly.
// An amount that reads two ways (1.234: a thousand two hundred and thirty-four, or one euro and
// 234 thousandths?) is refused, never guessed; so is a negative one.

struct SheetAmountRefusal {
    QString reason; // Italian, quoting the cell as messages show values
};

// The amount text of a cell (the form's rounding applies), or why not. separator is the file's
// field separator; a workbook's text cells are read as a ";" file's.
std::variant<QString, SheetAmountRefusal> readSheetAmount(const SheetCell& cell, QChar separator);
