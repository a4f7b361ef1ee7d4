// SPDX-License-Identifier: GPL-3.0-or-later

// Fuzzes the CSV reader: the encoding and the separator are told from any bytes, every record is cut
// from the file's own bytes, the records written back as the export writes them read again to the
// same texts, and the whole goes through the slip import as a CSV file does.
#include "core/sheet/CsvText.h"
#include "core/sheet/SlipSheet.h"

#include <QList>
#include <QStringDecoder>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

// The records of bytes in the given encoding, each field decoded, with the checks every record must
// pass.
QList<QStringList> readRecords(QByteArrayView bytes, char separator, SheetEncoding encoding)
{
    QList<QStringList> records;
    CsvReader reader(bytes, separator);
    CsvRecord record;
    int lastRow = 0;
    while (reader.next(record)) {
        require(record.row > lastRow, "rows out of order");
        lastRow = record.row;
        require(!record.fields.isEmpty(), "a record without fields");
        require(record.line.data() >= bytes.data() &&
                    record.line.data() + record.line.size() <= bytes.data() + bytes.size(),
                "a record's line outside the bytes");
        // Qt's UTF-8 decoder drops a byte order mark at the start of a field: the next one there, had
        // the field two, would be dropped on the way back. The mark is invisible and no slip can store
        // it, so marks at the start of a field are left out of the comparison.
        QStringList fields;
        for (const QByteArray& field : std::as_const(record.fields)) {
            QString text = decodeSheetField(field, encoding);
            while (text.startsWith(QChar(0xFEFF)))
                text.remove(0, 1);
            fields.append(text);
        }
        records.append(fields);
    }
    require(!reader.next(record), "a record after the end");
    return records;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const SheetBytes text(bytes);
    const char separator = detectSeparator(text.body());
    require(separator == ';' || separator == ',' || separator == '\t', "an unknown separator");
    require(text.otherEncodingLines() >= 0, "a negative count of lines");
    const bool utf8 = text.encoding() == SheetEncoding::Utf8 || text.encoding() == SheetEncoding::Utf8WithBom;
    const LineText kind = classifyLine(text.body());
    if (text.encoding() == SheetEncoding::Utf16LE || text.encoding() == SheetEncoding::Utf16BE)
        require(kind != LineText::NotUtf8, "UTF-16 turned into bytes that are not UTF-8");
    // A file that is UTF-8 throughout has no lines of another encoding, and Qt's decoder agrees.
    if (kind != LineText::NotUtf8) {
        require(utf8 || text.encoding() == SheetEncoding::Utf16LE ||
                    text.encoding() == SheetEncoding::Utf16BE,
                "valid UTF-8 read as Windows-1252");
        require(text.otherEncodingLines() == 0, "lines of another encoding in valid UTF-8");
        // A byte order mark is kept as a character here; QString::fromUtf8 would drop one at the start.
        const QByteArray body = text.body().toByteArray();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString decoded = decoder(body);
        require(!decoder.hasError() && decoded.toUtf8() == body, "UTF-8 that Qt does not read back");
    }

    const QList<QStringList> records = readRecords(text.body(), separator, text.encoding());

    // Written as the export writes them, the records read back the same. A record of one empty field
    // writes an empty line, which reading skips.
    QList<QStringList> kept;
    for (const QStringList& record : records) {
        if (record.size() > 1 || !record.first().isEmpty())
            kept.append(record);
    }
    const QByteArray written = writeCsv(kept);
    const SheetBytes again(written);
    require(again.encoding() == SheetEncoding::Utf8WithBom, "the export's file is not UTF-8 with its mark");
    require(readRecords(again.body(), ';', again.encoding()) == kept, "written records read back otherwise");

    SheetImport import;
    if (const Failure failure = readSlipSheet(bytes, import)) {
        require(!failure.text().isEmpty(), "a sheet not read, without a reason");
        require(import.slips.isEmpty(), "a sheet not read, with slips");
    }
    require(import.encoding == text.encoding(), "the import read another encoding");
    require(import.separator == QLatin1Char(separator), "the import read another separator");
    for (const SheetSlip& slip : import.slips)
        require(slip.row > import.headerRow, "a slip at or above the header");
    return 0;
}
