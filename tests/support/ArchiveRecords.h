// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"

#include <QByteArray>
#include <QStringList>

// Archive bytes written by hand for the archive's tests, as the program writes them.

// The line that opens every record, in Windows-1252.
inline const QByteArray Marker("?*@1\xE7*^");

// A record named name as the save appends it: one space before each value.
inline QByteArray savedRecord(const QByteArray& name)
{
    return Marker + "\r\n07 dicembre 2026\r\n " + name +
           "\r\n \r\n \r\n \r\n 10,00\r\n dieci/00\r\n \r\n \r\n \r\n 1234\r\n \r\n 123\r\n False\r\n "
           "True\r\n 1\r\n";
}

// The same record as a deletion writes it back: the values alone.
inline QByteArray rewrittenRecord(const QByteArray& name)
{
    return Marker + "\r\n07 dicembre 2026\r\n" + name +
           "\r\n\r\n\r\n\r\n10,00\r\ndieci/00\r\n\r\n\r\n\r\n1234\r\n\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
}

// A record as a deletion writes it back, with its date, payer's name, payee and amount chosen.
inline QByteArray datedRecord(const QByteArray& date, const QByteArray& name, const QByteArray& payee,
                              const QByteArray& amount)
{
    return Marker + "\r\n" + date + "\r\n" + name + "\r\n\r\n\r\n\r\n" + amount + "\r\n\r\n" + payee +
           "\r\n\r\n\r\n1234\r\nQuota sociale\r\n123\r\nFalse\r\nTrue\r\n1\r\n";
}

// The payers' names of the records, in order.
inline QStringList names(const ArchiveTable& table)
{
    QStringList result;
    for (const SlipRecord& record : table)
        result.append(record.column(FirstFieldColumn + PayerName));
    return result;
}
