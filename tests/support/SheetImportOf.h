// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sheet/SlipSheet.h"

#include <QTest>

// The import of a CSV sheet that the test expects to be read (its rows may still be refused): a sheet
// that cannot be read fails the test with the failure's text, and gives an empty import.
inline SheetImport importOf(QByteArrayView bytes, const SheetMerge& merge = {})
{
    SheetImport import;
    if (const Failure failure = readSlipSheet(bytes, import, merge))
        QTest::qFail(qPrintable(QStringLiteral("the sheet was not read: ") + failure.text()), __FILE__,
                     __LINE__);
    return import;
}
