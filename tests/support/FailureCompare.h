// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"

#include <QTest>

// How QCOMPARE shows a Failure that is not the one expected: its kind and its text, so that
// QCOMPARE(archive.append(record), Failure()) tells why the append failed.
inline char* toString(const Failure& failure)
{
    static const char* const kinds[] = {"None", "Failed", "Cancelled", "Busy", "Moved"};
    return QTest::toString(QString::fromLatin1(kinds[int(failure.kind())]) +
                           (failure ? QStringLiteral(": ") + failure.text() : QString()));
}
