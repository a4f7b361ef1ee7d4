// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"

#include "core/archive/SlipRecord.h"
#include "core/sheet/CsvText.h"
#include "core/sheet/SheetCells.h"
#include "core/slip/SlipFields.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <bitset>
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
    Surname,               // "Cognome": the payer's name is then "Cognome Nome"
    Province,              // "Provincia": added to the town, "Roma (RM)"
};
inline constexpr int SheetColumnCount = SlipFieldCount + 5;

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

// What a sheet's rows take besides their own cells, and what they leave out.
struct SheetMerge {
    // Mail merge: by slip field, the value every row takes when the sheet has no column for it (the
    // slip on the form, or --valore); empty texts give nothing. The amount in words is never taken.
    SlipTexts values;
    QString source = QStringLiteral("dal modulo"); // where the values come from, as the review says it
    bool includeHidden = false; // the rows the sheet hides (hidden, or left out by a filter) are read too
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

// What a sheet read gives: its slips, the rows refused and why, the columns and rows left out. A sheet
// that could not be read at all is a Failure, beside it.
struct SheetImport {
    SheetEncoding encoding = SheetEncoding::Utf8;
    QChar separator = u';';
    QStringList ignoredColumns; // headers that name no column (or name one a second time), shortened
    QList<SheetSlip> slips;
    QList<SheetProblem> problems; // in row order, one or more per refused row
    int refusedRows = 0;
    // What the review tells about rows taken as they are: a postcode completed with zeros, an
    // account read from a numeric cell. In row order.
    QList<SheetProblem> notices;
    QStringList missingColumns; // the key columns (Nome, Importo, Conto) neither the header nor a value gives
    int headerRow = 0;          // the row that names the columns
    QList<int> hiddenRows;      // rows the sheet hides, left out
    QList<int> totalRows;       // rows that hold a total of the others, left out
    QStringList columnUses;     // how each column of the header fills the slip, one line each
    QStringList mergedValues;   // "Conto: 12345678 (dal modulo)", one line a field every row takes
};

// The next row of a sheet into row; false after the last one.
using SheetRowReader = std::function<bool(SheetRow&)>;

// Most rows above the header: a title, a date, a note and empty rows fit easily.
inline constexpr int SheetHeaderSearchRows = 20;

// The slips of a sheet's rows into import. The header is the first row, within the first
// SheetHeaderSearchRows, that names at least two columns; the rows above it are titles. A sheet with no
// such row, or whose header names a column almost ("Imorto"), reads no slip: a failure whose text is
// the whole message, sentences complete. import is started afresh. separator is the CSV
// file's, which tells how its amounts group digits; a workbook's rows are read as a ";" file's.
// textFile: the rows are a CSV file's, which writes every cell, so a row with fewer cells than the
// header names is refused (a workbook leaves out the empty cells at the end of a row).
// A row is left out, and counted, when the sheet hides it or it holds a total of the others; a row
// that still has no amount or no account is refused: no slip without either comes from a sheet.
Failure readSlipSheetRows(const SheetRowReader& next, SheetImport& import, QChar separator = u';',
                          const SheetMerge& merge = {}, bool textFile = false);

// The row, within the first SheetHeaderSearchRows, that would be read as the header; 0 for none.
int sheetHeaderRow(const SheetRowReader& next);

// The names of the sheet files the program reads, as a file dialog's patterns: "*.csv", "*.xlsx"…
QStringList sheetFilePatterns();

// The slips of a CSV file's bytes into import, as readSlipSheetRows() reads them (a file:
// readSheetFile(), in core/workbook/SheetFile.h).
Failure readSlipSheet(QByteArrayView bytes, SheetImport& import, const SheetMerge& merge = {});

// The indexes, in slips, of the slips the archive holds already: the same twelve texts, model and
// code line and, when the row gives a date, saved on that day (a saving date that cannot be read
// matches any). Importing the same sheet twice would otherwise store every slip twice.
QList<qsizetype> slipsAlreadyStored(const QList<SheetSlip>& slips, const ArchiveTable& archive,
                                    const StoredDateReader& dates);

// A slip of the sheet that the archive holds in all but one or two values: the same payer, with the
// amount changed since an export, say. Importing it may store a second slip of the same payment.
struct SimilarSlip {
    qsizetype slip = 0;      // index in slips
    QString storedOn;        // the stored slip's date as the list shows it
    QStringList differences; // "Importo: 35,00 nell'archivio, 40,00 nel foglio", one a value
};
// The slips, but those at the indexes in held, that a stored slip of the same payer matches in all but
// one or two of its values (the fields but the words, which follow the amount; the model; the code
// line). The last such stored slip is named, the one saved most recently.
QList<SimilarSlip> slipsSimilarToStored(const QList<SheetSlip>& slips, const QList<qsizetype>& held,
                                        const ArchiveTable& archive, const StoredDateReader& dates);

// Both of the above in one pass over the stored slips, given one at a time in the archive's order and
// kept nowhere (SlipArchive::forEachRecord hands them over as it reads the file): what the check holds
// follows the sheet, not the archive. The sheet's slips are found by their payer's bytes, so a stored
// slip of another payer costs one look-up.
class StoredSlipCheck
{
public:
    // slips and dates must outlive the check.
    StoredSlipCheck(const QList<SheetSlip>& slips, const StoredDateReader& dates);
    StoredSlipCheck(const StoredSlipCheck&) = delete;
    StoredSlipCheck& operator=(const StoredSlipCheck&) = delete;

    // The next stored slip.
    void add(const SlipRecord& record);
    // After the last one: slipsAlreadyStored() of the slips given.
    QList<qsizetype> alreadyStored() const;
    // slipsSimilarToStored() of the slips given, but those at the indexes in held.
    QList<SimilarSlip> similarToStored(const QList<qsizetype>& held) const;

private:
    const QList<SheetSlip>& m_slips;
    const StoredDateReader& m_dates;
    QList<SlipRecord> m_encoded; // the slips as the archive would store them
    // The slips by their payer's bytes, viewed in m_encoded; a slip that cannot be stored is in none.
    QHash<QByteArrayView, QList<qsizetype>> m_byPayer;
    // A first look at a stored payer, before the hash: its length and last byte, a bit for each pair that
    // a payer of m_byPayer has. Most stored slips of other payers stop there.
    std::bitset<64 * 256> m_payerShapes;
    QList<bool> m_held;
    QList<std::optional<SimilarSlip>> m_similar; // the last stored slip similar to each
};

// "Riga 4: simile a un bollettino del 07/12/2026 (Importo: 35,00 nell'archivio, 40,00 nel foglio)".
QString similarText(const SimilarSlip& similar, const QList<SheetSlip>& slips);

// "Riga 5, colonna «Importo»: reason".
QString problemText(const SheetProblem& problem);
// The columns the import ignores, as one Italian sentence; empty when there are none.
QString ignoredColumnsText(const SheetImport& import);
// The key columns the header lacks, as one Italian sentence; empty when it has them all.
QString missingColumnsText(const SheetImport& import);
// What was left out and where the header is, as one Italian sentence each: "Intestazione alla
// riga 3.", "Righe nascoste, saltate: 2 (righe 5, 9)."…
QStringList sheetReadNotes(const SheetImport& import);

// "1 riga", "2 righe": a count with the noun Italian wants for it.
QString countText(qsizetype count, const QString& one, const QString& many);

// The records of an archive as a sheet (header row first) that readSlipSheet() reads back to the
// same slips and dates.
QList<QStringList> sheetOfRecords(const QList<SlipRecord>& records, const StoredDateReader& dates);

// The good rows, in records, as the archive's save appends them, one after the other: dated by their
// own date, or today, written in locale's language. Fails, with records empty, when a row cannot be
// stored: the text is whole, the row and its problem.
Failure encodeSheetSlips(const QList<SheetSlip>& slips, QDate today, const QLocale& locale,
                         QByteArray& records);
