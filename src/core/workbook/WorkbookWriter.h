// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sheet/SheetCells.h"
#include "core/workbook/WorkbookReader.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Rows of typed cells as a workbook of one sheet, as a spreadsheet program would save it: text
// cells as text (formatted "@", so that an edit in the program keeps a postcode's leading zero),
// numbers as numbers shown with two decimals and thousands ("#,##0.00"), dates as dates
// ("dd/mm/yyyy"). An .ods starts with its "mimetype" entry, stored uncompressed, as the format asks.
// kind must be Xlsx or Ods. A failure, its text a clause, when the package cannot be made.
Failure writeWorkbook(const QList<SheetRow>& rows, WorkbookKind kind, const QString& sheetName,
                      QByteArray& bytes);
