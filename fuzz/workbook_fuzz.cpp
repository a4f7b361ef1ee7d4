// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the workbook readers (.xlsx, .ods, flat .fods): the workbook opens or is refused with a
// reason, each sheet is chosen and read to its end, every cell is what its kind promises, and the
// rows go through the slip import as a chosen sheet does.
//
// An input is either a whole file (a zip, a flat .fods, anything) or, when it starts with a NUL byte,
// the parts of a package: "\0NAME\nBYTES" one after the other, zipped here uncompressed. The second
// form lets the fuzzer change the XML of the parts directly, which through a zip's checksums it could
// hardly do; the seeds have both forms.
#include "core/number/ExactNumber.h"
#include "core/sheet/SlipSheet.h"
#include "core/workbook/WorkbookReader.h"
#include "core/workbook/ZipPackage.h"

#include <QList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

// The package the parts form stands for; the bytes as they are otherwise.
QByteArray workbookBytes(const QByteArray& input)
{
    if (!input.startsWith('\0'))
        return input;
    QList<ZipEntry> entries;
    for (const QByteArray& piece : input.mid(1).split('\0')) {
        const qsizetype end = piece.indexOf('\n');
        const QByteArray name = end < 0 ? piece : piece.left(end);
        if (!name.isEmpty())
            entries.append({QString::fromUtf8(name), end < 0 ? QByteArray() : piece.mid(end + 1), true});
    }
    QByteArray zip;
    return writeZip(entries, zip) ? QByteArray() : zip;
}

// Reads the chosen sheet to its end, checking every row; false when the reader stopped at a fault.
bool readAll(WorkbookReader& reader)
{
    SheetRow row;
    bool more = false;
    Failure failure;
    while (!(failure = reader.next(row, more)) && more) {
        require(!row.cells.isEmpty(), "a row without a value was returned");
        require(row.cells.size() <= WorkbookReader::MaxColumns, "a row beyond the last column");
        for (const SheetCell& cell : std::as_const(row.cells)) {
            switch (cell.kind) {
            case SheetCellKind::Number: {
                const std::optional<ExactNumber> number = ExactNumber::parse(cell.number);
                require(number && number->plain() == cell.number, "a number cell that is not a plain number");
                break;
            }
            case SheetCellKind::Date:
                require(cell.date.isValid(), "a date cell without a valid date");
                break;
            case SheetCellKind::Text:
                break;
            }
        }
    }
    // Once over, it stays over, and a fault stays the same fault.
    require(reader.next(row, more) == failure && !more, "a row after the end");
    return !failure;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray bytes = workbookBytes(input);
    (void)workbookKindOf(bytes);

    WorkbookReader reader;
    if (const Failure refused = reader.open(bytes)) {
        require(!refused.text().isEmpty(), "a workbook refused without a reason");
        return 0;
    }
    const QStringList names = reader.sheetNames();
    require(!names.isEmpty(), "a workbook opened without sheets");
    (void)sheetNamesText(names);

    // Every sheet (the first few of a workbook of many), then the one an empty name chooses.
    for (qsizetype i = 0; i < names.size() && i < 8; ++i) {
        if (const Failure failure = reader.selectSheet(names[i]))
            require(!failure.text().isEmpty(), "a sheet not chosen, without a reason");
        else
            readAll(reader);
    }
    const QString missing = u"\u0001 nessun foglio"_s;
    if (!names.contains(missing)) {
        require(!reader.selectSheet(missing).text().isEmpty(), "a sheet that is not there was chosen");
    }

    // The slip import of the first sheet, as a chosen sheet is read.
    if (!reader.selectSheet(QString())) {
        SheetImport import;
        if (const Failure failure = readSlipSheetRows(
                [&reader](SheetRow& row) {
                    bool more = false;
                    return !reader.next(row, more) && more;
                },
                import))
            require(!failure.text().isEmpty(), "a sheet not read, without a reason");
        for (const SheetSlip& slip : import.slips)
            require(slip.row > 0, "a slip without its row");
    }
    return 0;
}
