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
    Utf8,        // valid UTF-8 without a byte order mark
    Utf8WithBom, // UTF-8 opened by EF BB BF
    Windows1252, // anything that is not valid UTF-8
};

// The encoding of a file's bytes: UTF-8 when they are valid UTF-8, otherwise Windows-1252, as older
// spreadsheets save on Italian systems. body is the bytes without the byte order mark.
SheetEncoding detectSheetEncoding(QByteArrayView bytes, QByteArrayView* body);

// The text of a field's bytes in the file's encoding.
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
