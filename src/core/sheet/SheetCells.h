// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDate>
#include <QList>
#include <QString>

// A sheet's cells as the slip import reads them, whatever file they came from: a CSV file gives
// text cells only; a workbook (.xlsx, .ods) tells numbers and dates apart from text, and gives each
// cell as the sheet shows it, number formats applied.

enum class SheetCellKind {
    Text,   // a text cell, or any cell of a CSV file
    Number, // a numeric cell: number holds its stored value exactly
    Date,   // a date cell: date holds it
};

struct SheetCell {
    QString text; // as the sheet shows it: 184 formatted "00000" is "00184", a date "05/03/2026"
    SheetCellKind kind = SheetCellKind::Text;
    // Number: the stored value as a plain decimal, "." before the decimals and no exponent, never
    // put through a double: "1234.5", "-3", "0.000001".
    QString number;
    QDate date;      // Date
    QString formula; // a workbook's formula as the file writes it ("SUM(E2:E4)", "of:=SUM([.E2:.E4])")
    // The cell cannot be read as it is, in Italian with its reference ("E5: formula senza valore
    // calcolato; aprire e salvare il file"): a row that uses it is refused, the others are read.
    QString problem;
};

// One row of cells and the spreadsheet row it is on (the first row is 1). Cells are in column
// order from column A; a missing cell at the end is an empty one.
struct SheetRow {
    int row = 0;
    QList<SheetCell> cells;
    bool unterminatedQuote = false; // CSV only: the file ended inside a quoted field
    QString refused;     // the row cannot be read as it is: why, in Italian; its cells are not read
    bool hidden = false; // a workbook's row that its owner hid, or that a filter leaves out
};

// A column's letters as spreadsheets name it, from index 0: A, …, Z, AA, AB…
QString sheetColumnLetters(int column);
