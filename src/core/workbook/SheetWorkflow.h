// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/sheet/SheetPrint.h"
#include "core/sheet/SlipSheet.h"
#include "core/workbook/SheetFile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class StoredDateReader;

// A sheet of slips on its way to the archive, the printer or a PDF file: the one path that the
// command line and the windows both take, so that each rule is written once.
//
//   file → read (header found, hidden and total rows left out, constant fields merged, every row
//   through the typing rules, no slip without amount or account) → checked against the archive
//   (slips it holds already) → the slips to store, print or save
//
// The caller only says what it was asked and shows what comes back: the command line writes the
// lines on its error stream, the windows show them in the review.

// What to read: the file, its sheet, and what the rows take besides their own cells.
struct SheetRequest {
    QString path;
    QString sheetName; // a workbook's sheet; empty: the first, or the one the chooser gives
    SheetMerge merge;
};

// A sheet read and checked, ready to be stored, printed or saved.
struct SheetBatch {
    SheetImport import;           // the good rows, the refused ones and why, what was left out
    QList<qsizetype> alreadyHeld; // indexes into import.slips of the slips the archive holds already
    QList<SimilarSlip> similar;   // slips the archive holds in all but one or two values
    QStringList overflowWarnings; // "Riga 5 (2 frame): …", one a row whose texts run past their place

    // The lines both the review and the command line show about the reading, in this order: where
    // the header is and what was left out, the ignored and missing columns, the values every row
    // takes, the refused rows with their reasons, the rows taken with something to check.
    QStringList readLines() const;
    // The slips to store: the good ones but those the archive holds already (unless alsoHeld) and
    // those it holds almost (unless alsoSimilar).
    QList<SheetSlip> slipsToStore(bool alsoHeld, bool alsoSimilar) const;
    // The good rows that can be printed, and those without a model.
    SheetPages printable() const { return printableSlips(import.slips); }
};

// Reads the sheet into batch and checks it against the archive at archivePath (an archive that cannot
// be read holds nothing for the check). The failure is readSheetFile()'s: Cancelled when the user
// stopped at the choice of a sheet, Failed, its text the whole message, when the file cannot be read;
// batch then holds no slip.
Failure prepareSheetBatch(const SheetRequest& request, const QString& archivePath,
                          const StoredDateReader& dates, SheetBatch& batch, const SheetChooser& choose = {});

// " (Mario Rossi, 35,00 euro)": who and how much, as the lines about one row end; empty for a slip
// with neither.
QString slipSummary(const SheetSlip& slip);

// The field named by a column name as the sheet's header would give it ("Conto", "nr. C/C",
// "Intestato 1"), for a value every row takes; nothing for a name that is no slip field, and for the
// amount in words, which is written from the amount.
std::optional<int> mergeFieldOf(QStringView column);
