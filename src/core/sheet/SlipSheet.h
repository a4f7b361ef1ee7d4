// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"
#include "core/sheet/CsvText.h"
#include "core/sheet/SheetCells.h"
#include "core/slip/SlipFields.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

class StoredDateReader;

// Slips from a spreadsheet. The header row names the columns (see sheetHeaders(); letter case,
// accents, spaces and dots do not matter), and every other row is one slip, put through the same
// rules as typing into the slip form: digit fields hold digits only, the amount is checked and
// formatted exactly and written in words, line breaks become spaces, texts are trimmed, and every
// character must be one the archive can store. A row that breaks a rule is reported, never guessed.

// A column of the sheet beyond the twelve slip fields.
enum class SheetColumn : int {
    // 0..11: the slip fields, by SlipField index.
    Date = SlipFieldCount, // date of the save, "dd/mm/yyyy"; empty = today
    Model,                 // "premarcati", "2 frame" (the default) or "nessuno"
    CodeLine,              // "sì" (the default), "no" or "2" (greyed)
};
inline constexpr int SheetColumnCount = SlipFieldCount + 3;

// The header the export writes for each column, by column index (slip fields first).
QString sheetHeader(int column);
// The other names a header may have, by column index, as the README lists them.
QStringList sheetHeaderAliases(int column);
// The column a header names, or -1.
int sheetColumnOf(QStringView header);

// The twelve texts of a slip read from a sheet, kept as the archive keeps them: one byte a character
// in Windows-1252, all twelve in one buffer, so that the slips of a large sheet take about the room
// of its bytes (twelve strings a row took seven times that).
class SheetTexts
{
public:
    SheetTexts() = default;
    // Texts the archive can store (a character Windows-1252 has no byte for becomes "?").
    SheetTexts(const SlipTexts& texts); // NOLINT(google-explicit-constructor): a slip's texts, kept

    QString operator[](int field) const;
    operator SlipTexts() const; // NOLINT(google-explicit-constructor)

private:
    QByteArray m_bytes;
    std::array<quint32, SlipFieldCount> m_ends{}; // where each field's bytes end in m_bytes
};

// A good row: the slip as the form would hold it.
struct SheetSlip {
    int row = 0; // row of the spreadsheet (the header is row 1)
    SheetTexts fields;
    PaletteState state;
    std::optional<QDate> date; // given in the row
};

// Why a row was refused.
struct SheetProblem {
    int row = 0;
    QString column; // the header as the file writes it, shortened as messages show values; empty for the row
                    // as a whole
    QString reason; // Italian; a cell it quotes is shortened as messages show values
};

struct SheetImport {
    bool read = false; // false: nothing could be taken from the file, error says why
    QString error;
    SheetEncoding encoding = SheetEncoding::Utf8;
    QChar separator = u';';
    QStringList ignoredColumns; // headers that name no column (or name one a second time), shortened
    QList<SheetSlip> slips;
    QList<SheetProblem> problems; // in row order, one or more per refused row
    int refusedRows = 0;
    // What the review tells about rows taken as they are: a postcode completed with zeros, an
    // account read from a numeric cell. In row order.
    QList<SheetProblem> notices;
    QStringList missingColumns; // the key columns (Nome, Importo, Conto) the header does not name
};

// The next row of a sheet into row; false after the last one.
using SheetRowReader = std::function<bool(SheetRow&)>;

// The slips of a sheet's rows, the header row first. A header that names none of the slip's fields,
// or names one almost ("Imorto"), reads nothing: error says why. separator is the CSV file's, which
// tells how its amounts group digits; a workbook's rows are read as a ";" file's.
SheetImport readSlipSheetRows(const SheetRowReader& next, QChar separator = u';');

// The slips of a CSV file's bytes.
SheetImport readSlipSheet(QByteArrayView bytes);
// The same for a file; a file that cannot be read fills error.
SheetImport readSlipSheetFile(const QString& path);

// The indexes, in slips, of the slips the archive holds already: the same twelve texts, model and
// code line and, when the row gives a date, saved on that day (a saving date that cannot be read
// matches any). Importing the same sheet twice would otherwise store every slip twice.
QList<qsizetype> slipsAlreadyStored(const QList<SheetSlip>& slips, const ArchiveTable& archive,
                                    const StoredDateReader& dates);

// "Riga 5, colonna «Importo»: reason".
QString problemText(const SheetProblem& problem);
// The columns the import ignores, as one Italian sentence; empty when there are none.
QString ignoredColumnsText(const SheetImport& import);
// The key columns the header lacks, as one Italian sentence; empty when it has them all.
QString missingColumnsText(const SheetImport& import);

// The records of an archive as a sheet (header row first) that readSlipSheet() reads back to the
// same slips and dates.
QList<QStringList> sheetOfRecords(const QList<SlipRecord>& records, const StoredDateReader& dates);

// The good rows, in records, as the archive's save appends them, one after the other: dated by their
// own date, or today, written in locale's language. Fails, with records empty and the row and its
// problem in errorText, when a row cannot be stored.
bool encodeSheetSlips(const QList<SheetSlip>& slips, QDate today, const QLocale& locale, QByteArray& records,
                      QString& errorText);
