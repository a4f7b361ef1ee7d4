// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Workbook packages built in memory for the tests: zips of given parts, and the smallest .xlsx and
// .ods around given rows. Kept apart from the test classes, whose moc does not read raw strings.
#include <QByteArray>
#include <QList>
#include <QString>

struct Part {
    QString name;
    QByteArray bytes;
    bool stored = false;
};

// A zip of the given parts, in memory.
QByteArray zipOf(const QList<Part>& parts);
// The zip with the unpacked size of the part rewritten to size in its local header and its central
// record, the data left as they are: a part that claims to unpack to more than it holds.
QByteArray declaringSize(QByteArray zip, const QString& part, quint32 size);
extern const QByteArray ContentTypes;
extern const QByteArray WorkbookRels;
// Styles by index: 0 General, 1 "00000", 2 built-in 14 (a date), 3 "0.00", 4 "@".
extern const QByteArray Styles;
QByteArray workbookXml(bool system1904);
// An .xlsx of one sheet "Dati" whose <sheetData> holds rows.
QByteArray xlsxOf(const QByteArray& rows, bool system1904 = false, const QByteArray& strings = {},
                  const QByteArray& after = {});
// The content.xml of an .ods of one sheet "Dati" whose <table:table> holds rows.
QByteArray odsContentOf(const QByteArray& rows);
// An .ods of one sheet "Dati" whose <table:table> holds rows.
QByteArray odsOf(const QByteArray& rows);
