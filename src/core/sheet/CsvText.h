#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Comma-separated text as spreadsheets write it (RFC 4180): records end at CR LF, LF or CR; a field
// in double quotes may hold the separator, line breaks and doubled quotes. Italian spreadsheets
// separate with ";", others with ",": the header line tells which.

// How the bytes of a file were read.
enum class SheetEncoding {
    Utf8,        // valid UTF-8 without a byte order mark
    Utf8WithBom, // UTF-8 opened by EF BB BF
    Windows1252, // anything that is not valid UTF-8
};

// The text of a file's bytes: UTF-8 when they are valid UTF-8 (a byte order mark is dropped),
// otherwise Windows-1252, as older spreadsheets save on Italian systems.
QString decodeSheetBytes(QByteArrayView bytes, SheetEncoding* encoding = nullptr);

// The separator of a text whose first record is a header: ";" unless the header holds more commas
// than semicolons outside quotes (a tab when it holds neither but tabs).
QChar detectSeparator(QStringView text);

// One record and the spreadsheet row it is on (the header is row 1; a field with line breaks does
// not start a new row).
struct CsvRecord {
    int row = 0;
    QStringList fields;
    bool unterminatedQuote = false; // the file ended inside a quoted field
};

// Every record of the text, empty lines skipped.
QList<CsvRecord> parseCsv(QStringView text, QChar separator);

// The records as UTF-8 with a byte order mark, ";" between fields and CR LF after each record,
// as LibreOffice and Excel open them with the right columns and accents. A field is quoted when it
// holds ";", a quote, a line break or a space at either end.
QByteArray writeCsv(const QList<QStringList>& records);
