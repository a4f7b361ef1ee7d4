// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sheet/SlipSheet.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Every sheet file the user hands the program, read the same way whatever its kind: a workbook
// (.xlsx, .ods, told by its contents) through WorkbookReader, anything else as a CSV file.

// Which sheet of a workbook of several to read: given the names in order, the one chosen, or nothing
// to stop.
using SheetChooser = std::function<std::optional<QString>(const QStringList& names)>;

// The slips of the file at path, read as readSlipSheetRows() reads them with merge. sheetName names
// the workbook's sheet to read (an error names the sheets there are when it is not there); when it is
// empty and the workbook has several, choose is asked (without it, or for one sheet, the first is
// read). A sheet without a header names the sheets that have one. Nothing when the user stopped at
// the choice. A workbook that cannot be read to its end reads no slip at all: error says why.
std::optional<SheetImport> readSheetFile(const QString& path, const QString& sheetName = {},
                                         const SheetChooser& choose = {}, const SheetMerge& merge = {});
