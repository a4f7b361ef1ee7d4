// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated text as spreadsheets write it (RFC 4180): records end at CR LF, LF or CR; a field
// in double quotes may hold the separator, line breaks and doubled quotes. Italian spreadsheets
// separate with ";", others with ",": the header line tells which.
//
// The records are cut from the file's bytes one at a time, so that reading a sheet costs the bytes
// and the one record being read, whatever the number of rows: the separator, the quote and the line
// ends are ASCII, and UTF-8 and Windows-1252 never use those bytes inside another character.

// How the bytes of a file were read.
enum class SheetEncoding {
    Utf8,        // UTF-8 without a byte order mark
    Utf8WithBom, // UTF-8 opened by EF BB BF
    Windows1252, // not UTF-8, as older spreadsheets save on Italian systems
    Utf16LE,     // UTF-16, low byte first (FF FE, or a header of ASCII letters each followed by 0)
    Utf16BE,     // UTF-16, high byte first (FE FF, or a header of ASCII letters each after a 0)
};

// How one line's bytes read.
enum class LineText {
    Ascii,   // nothing beyond ASCII: the same in every encoding
    Utf8,    // valid UTF-8 with characters beyond ASCII
    NotUtf8, // not valid UTF-8: Windows-1252 in a sheet
};
LineText classifyLine(QByteArrayView bytes);

// A CSV file's bytes made ready for the reader. UTF-16 is turned into UTF-8 first, so that the
// reader only meets encodings whose ASCII bytes mean ASCII. The encoding is decided for the file,
// line by line: UTF-8 when most of the lines that are not plain ASCII are valid UTF-8 (always, after
// a UTF-8 byte order mark), else Windows-1252. The lines in the other encoding are counted, so that
// their rows are refused rather than read garbled.
class SheetBytes
{
public:
    explicit SheetBytes(QByteArrayView bytes);
    SheetEncoding encoding() const { return m_encoding; }
    // The text to read: UTF-8 or Windows-1252, without a byte order mark.
    QByteArrayView body() const { return m_converted.isNull() ? m_original : QByteArrayView(m_converted); }
    // Lines that are not in encoding() (UTF-8 lines in a Windows-1252 file, or the other way round).
    qsizetype otherEncodingLines() const { return m_otherLines; }
    // Whether a record's bytes are in the file's encoding (plain ASCII always is).
    bool fits(QByteArrayView record) const;

private:
    SheetEncoding m_encoding = SheetEncoding::Utf8;
    QByteArrayView m_original;
    QByteArray m_converted;
    qsizetype m_otherLines = 0;
};

// The text of a field's bytes in the file's encoding (UTF-16 was turned into UTF-8 before).
QString decodeSheetField(QByteArrayView bytes, SheetEncoding encoding);

// The separator of bytes whose first record is a header: ";" unless the header holds more commas
// than semicolons outside quotes (a tab when it holds neither but tabs).
char detectSeparator(QByteArrayView bytes);

// One record and the spreadsheet row it is on (the header is row 1; a field with line breaks does
// not start a new row).
struct CsvRecord {
    int row = 0;
    QList<QByteArray> fields;       // each field's bytes, quotes undone
    bool unterminatedQuote = false; // the file ended inside a quoted field
    QByteArrayView line;            // the record's bytes as the file has them, line end left out
};

// Reads the records of bytes one after the other, empty lines skipped. The bytes must outlive it.
class CsvReader
{
public:
    CsvReader(QByteArrayView bytes, char separator) : m_bytes(bytes), m_separator(separator) {}
    // The next record into record; false at the end of the bytes.
    bool next(CsvRecord& record);

private:
    QByteArrayView m_bytes;
    char m_separator;
    qsizetype m_at = 0;
    int m_row = 0;
};

// The records as UTF-8 with a byte order mark, ";" between fields and CR LF after each record,
// as LibreOffice and Excel open them with the right columns and accents. A field is quoted when it
// holds ";", a quote, a line break or a space at either end.
QByteArray writeCsv(const QList<QStringList>& records);
