// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What WorkbookReader's two formats share, and what each offers it: XlsxReader.cpp reads an .xlsx
// (Office Open XML), OdsReader.cpp an .ods or .fods (OpenDocument). Only the reader includes this.

#include "core/number/NumberFormat.h"
#include "core/sheet/SheetCells.h"
#include "core/workbook/WorkbookReader.h"
#include "core/workbook/ZipPackage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <memory>

namespace WorkbookFormats {

// Longest text one cell may hold: far beyond any slip field.
constexpr qsizetype MaxCellText = qsizetype(1) << 20;

// "Il foglio di lavoro è danneggiato: la parte PART WHY."
QString damaged(const QString& part, const QString& why);
// damaged(): the part that lists the sheets names none.
QString noSheets(const QString& part);
QString tooLarge();
QString xmlError(const QString& part, const QXmlStreamReader& xml);
QString tooManyColumns(int row);
QString tooManyRows();
QString tooManyCells();

// A formula whose result the file does not hold: written by a script, never opened by a spreadsheet
// program, which would have computed it.
extern const char16_t* const FormulaWithoutValue;

bool cellIsEmpty(const SheetCell& cell);
// The problem of the cell at column, row, named by its reference ("E5: …").
void placeProblem(SheetCell& cell, int column, qint64 row);
void dropTrailingEmpty(QList<SheetCell>& cells);

// The zip of a workbook, read from memory, each part counted against one budget.
class Package
{
public:
    // A failure, its text a clause, when the bytes are not a zip that can be read.
    Failure open(const QByteArray& bytes) { return m_zip.open(bytes); }
    bool has(const QString& part) const { return m_zip.contains(part); }
    const ZipReader& zip() const { return m_zip; }

    // The part's bytes; the whole message when it is missing, broken or past the budget.
    Failure read(const QString& part, QByteArray& out);

private:
    ZipReader m_zip{WorkbookReader::MaxUnpackedBytes};
};

// One sheet's rows, from its XML.
class SheetStream
{
public:
    virtual ~SheetStream() = default;
    // The next row that holds a value into row, more false past the last one; the whole message when
    // the sheet cannot be read further.
    virtual Failure next(SheetRow& row, bool& more) = 0;
};

// An .xlsx workbook's list of sheets and what their cells refer to.
struct XlsxBook {
    QStringList names;
    QStringList parts;          // each sheet's part
    QList<bool> hidden;         // by sheet
    QStringList strings;        // the shared texts
    QList<NumberFormat> styles; // by cell style index
    bool system1904 = false;
};

// Reads the workbook part, its relationships, styles and shared texts into book.
Failure readXlsxBook(Package& package, XlsxBook& book);
// The rows of the sheet whose XML is in xml (part names it in messages); book must outlive it.
std::unique_ptr<SheetStream> xlsxSheetStream(const QString& part, const QByteArray& xml,
                                             const XlsxBook& book);

// The tables' names in an OpenDocument content.xml (or a whole .fods).
Failure readOdsTableNames(const QByteArray& content, QStringList& names);
// The rows of the table called table in content.
std::unique_ptr<SheetStream> odsSheetStream(const QByteArray& content, const QString& table);

} // namespace WorkbookFormats
