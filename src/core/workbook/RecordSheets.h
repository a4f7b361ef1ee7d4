// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"
#include "core/archive/SlipRecord.h"
#include "core/sheet/SheetCells.h"

#include <QList>
#include <QString>

class StoredDateReader;

// The archive as a sheet file, whatever its kind: a CSV of texts, or a workbook with typed cells.

// The archive's sheet (see sheetOfRecords()) with typed cells for a workbook: the amount a number
// cell (its value exact, shown with two decimals), the date a date cell, and every other column
// (postcode, account, document type included) a text cell, so that no spreadsheet takes a code for a
// number. An amount or a date an old archive holds in another form stays text.
QList<SheetRow> typedSheetOfRecords(const QList<SlipRecord>& records, const StoredDateReader& dates);

// Writes the records to path as the name's ending says: ".xlsx" or ".ods" a workbook of one sheet
// "Bollettini", anything else a CSV file. The file is written whole or not at all, never through a
// link (see OutputFile). The failure's text is a clause ("impossibile scrivere PATH: cause").
// What the user reads when the records could not be exported, reason the failure's clause.
QString NotExportedMessage(const QString& reason);

Failure writeRecordsFile(const QString& path, const QList<SlipRecord>& records,
                         const StoredDateReader& dates);
