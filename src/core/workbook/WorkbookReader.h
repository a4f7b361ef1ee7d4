// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"
#include "core/sheet/SheetCells.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

// The rows of one sheet of a workbook (.xlsx or .ods), read straight from the file's bytes, each
// cell as the sheet shows it:
// - numbers keep their stored digits (never a double) and are shown through the cell's number
//   format ("00000", "#,##0.00", "0%"), Italian style; a number with a date format is a date (day
//   serials of the 1900 system with its 29 February 1900, or of the 1904 system; .ods dates as
//   they are written);
// - shared, inline and rich texts as one text; a boolean as VERO or FALSO; a formula as its last
//   computed value; a merged cell's value in its first cell only;
// - .ods repeats (a cell or a row written once for many) are expanded only where they hold a value:
//   the empty cells a sheet repeats to its last column or row cost nothing.
// A workbook is hostile until read: the bytes decompressed from it are bounded in all, as are the
// columns of a row, the rows and the cells of a sheet, and a missing or broken part is reported,
// never guessed at.

enum class WorkbookKind {
    None, // not a workbook (a CSV file, or nothing known)
    Xlsx,
    Ods,
};

// What the first bytes of a file say it is: a zip holding an .xlsx or an .ods. A zip of another kind
// and a file that is not a zip are None.
WorkbookKind workbookKindOf(const QByteArray& bytes);

class WorkbookReader
{
public:
    WorkbookReader();
    ~WorkbookReader();
    WorkbookReader(const WorkbookReader&) = delete;
    WorkbookReader& operator=(const WorkbookReader&) = delete;

    // Largest total of bytes decompressed from one workbook.
    static constexpr qint64 MaxUnpackedBytes = qint64(512) << 20;
    // Most columns a row may fill, and most cells a sheet may fill.
    static constexpr int MaxColumns = 1024;
    static constexpr qint64 MaxCells = 10'000'000;
    // Last row that may hold a value: far beyond any spreadsheet program's (a million rows, sixteen in
    // the largest), and small enough that a row's number always fits an int, however many rows a file
    // says it repeats.
    static constexpr int MaxRows = 100'000'000;

    // Opens the workbook the bytes hold (a whole .xlsx or .ods file) and reads its list of sheets. The
    // failure's text is the whole message.
    Failure open(const QByteArray& bytes);
    // The sheets' names, in the workbook's order.
    QStringList sheetNames() const;
    // Makes next() read the sheet called name (an exact match first, then one that differs only in
    // letter case), or the first sheet when name is empty. A failure naming the sheets there are.
    Failure selectSheet(const QString& name);
    // The next row that holds a value, in order, into row; more false past the sheet's last one. A
    // failure, its text the whole message, when the sheet cannot be read further: every later call
    // gives it again.
    Failure next(SheetRow& row, bool& more);

    struct Impl;

private:
    std::unique_ptr<Impl> m;
};

// "«Foglio1», «Foglio2»": the names as the messages list them.
QString sheetNamesText(const QStringList& names);

// A column's letters as spreadsheets name it, from index 0: A, …, Z, AA, AB…
QString columnName(int column);
