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

// The slips of the file at path into import, read as readSlipSheetRows() reads them with merge.
// sheetName names the workbook's sheet to read (the failure names the sheets there are when it is not
// there); when it is empty and the workbook has several, choose is asked (without it, or for one
// sheet, the first is read). A sheet without a header names the sheets that have one. Cancelled when
// the user stopped at the choice. A file that cannot be read, or a workbook that cannot be read to its
// end, reads no slip at all: a failure whose text is the whole message. import is started afresh.
Failure readSheetFile(const QString& path, SheetImport& import, const QString& sheetName = {},
                      const SheetChooser& choose = {}, const SheetMerge& merge = {});
