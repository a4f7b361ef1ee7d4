// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// One saved slip as read from the archive: 16 value columns, each the text of its line with the
// spaces at both ends removed. Column 0 is the date of the save, columns 1-12 the slip fields
// 0-11, columns 13 and 14 the two model options, column 15 the code-line check box.
inline constexpr int RecordColumnCount = 16;
inline constexpr int DateColumn = 0;
inline constexpr int FirstFieldColumn = 1;
inline constexpr int PremarcatiColumn = 13;
inline constexpr int TwoFrameColumn = 14;
inline constexpr int CheckColumn = 15;

class ArchiveStreamReader;
class ArchivePieceReader;

// A record keeps the archive's bytes, shared by all records of one load, and where its value lines
// start; a value is found and decoded when it is asked for. A million records then take 40 MB beside
// the file's bytes, so reading them costs little more than reading the file.
class SlipRecord
{
public:
    SlipRecord() = default;
    // A record of the given column texts (missing ones empty, extra ones ignored), kept exactly; none
    // when a text holds a line break or a character the archive cannot store.
    static std::optional<SlipRecord> fromColumns(const QStringList& columns);

    QString column(int index) const;
    // The stored bytes of one value (spaces at both ends removed for a record read from a file).
    QByteArrayView columnBytes(int index) const;
    // All 16 values at once, in one pass over the record.
    std::array<QByteArrayView, RecordColumnCount> columnViews() const;
    QStringList columns() const;

    friend bool operator==(const SlipRecord& a, const SlipRecord& b);

private:
    friend ArchiveStreamReader;
    friend ArchivePieceReader;
    QByteArray m_bytes;
    qsizetype m_base = 0; // the first value line
    bool m_exact = false; // made by fromColumns: values one a line, kept with their spaces
};

Q_DECLARE_TYPEINFO(SlipRecord, Q_RELOCATABLE_TYPE);

// The records of the archive in file order; list entry i stands for ArchiveTable[i].
using ArchiveTable = QList<SlipRecord>;

// The line that opens every record: "?*@1ç*^" in Windows-1252.
inline constexpr QByteArrayView RecordMarker("?*@1\xE7*^", 7);

// Every record of an archive file's bytes. A line ends at CR LF, CR CR LF, a lone CR or a lone LF. Lines up
// to the first marker line, and between a record's last value and the next marker, are skipped; the 16 lines
// after a marker are its values whatever they hold. A record cut short by the end of the data has empty
// values for its missing lines. The records share bytes.
ArchiveTable readArchive(const QByteArray& bytes);

// Cuts records out of an archive's bytes while they are still arriving, front to back, into one buffer:
// after advance(filled) every record whose lines lie in the first filled bytes is taken; finish() takes
// the rest. The records are those readArchive() gives for the same bytes, wherever the cuts fall.
class ArchiveStreamReader
{
public:
    // bytes is the whole buffer, as large as the data will be; only its first bytes need be there yet.
    // The reader and its records share the buffer: whoever fills it writes through a pointer taken
    // before the reader was made.
    explicit ArchiveStreamReader(const QByteArray& bytes);
    ~ArchiveStreamReader();
    ArchiveStreamReader(const ArchiveStreamReader&) = delete;
    ArchiveStreamReader& operator=(const ArchiveStreamReader&) = delete;

    // The first filled bytes of the buffer hold their final values.
    void advance(qsizetype filled);
    // The whole buffer holds its final values: the records of all of it.
    ArchiveTable finish();

private:
    void readLines();

    QByteArray m_bytes;
    ArchiveTable m_table;
    class Lines;
    std::unique_ptr<Lines> m_lines;
    qsizetype m_safe = 0; // every line before this point is whole
    int m_valuesLeft = 0; // value lines still to skip for the last record
};

// Cuts records out of an archive's bytes that arrive a piece at a time, and hands each one to a visitor as
// soon as all its lines are there, keeping none: only the bytes of a line or a record not yet whole are
// held from one piece to the next, so what it holds follows the longest record, not the archive. The
// records visited are those readArchive() gives for all the pieces at once, in the same order, wherever
// the pieces are cut. A record given to the visitor may be copied and kept: its bytes are then left as
// they are and the next pieces go into a new buffer.
class ArchivePieceReader
{
public:
    using Visitor = std::function<void(const SlipRecord&)>;

    explicit ArchivePieceReader(Visitor visit);
    ArchivePieceReader(const ArchivePieceReader&) = delete;
    ArchivePieceReader& operator=(const ArchivePieceReader&) = delete;

    // Room for the next size bytes, to be filled and then announced by added(); valid until then.
    char* room(qsizetype size);
    // The first got bytes of the room hold the next bytes of the archive (got may be less than asked,
    // 0 too): the records now whole are visited.
    void added(qsizetype got);
    // The same for bytes at hand.
    void add(QByteArrayView bytes);
    // The archive's bytes are over: the rest is visited, a record cut short by the end with empty values
    // for its missing lines.
    void finish();
    // The bytes held back for the next piece.
    qsizetype held() const { return m_filled - m_start; }

private:
    void cut(bool atEnd);

    Visitor m_visit;
    QByteArray m_buffer;
    SlipRecord m_record;   // the record being visited, sharing m_buffer while a cut runs
    qsizetype m_start = 0; // the first byte still needed: the open record's values, or the line not yet whole
    qsizetype m_scan = 0;  // where cutting goes on, at a line start
    qsizetype m_filled = 0; // the bytes of m_buffer that hold the archive's
    qsizetype m_base = -1;  // where the open record's values start
    int m_valuesLeft = 0;   // value lines the open record still lacks
};

// What to write at the end of bytes before a new record so that the reader takes it as a record of its
// own: a line end when the last line has none, and an empty line for each value that a record cut short
// by the end of the data still lacks. Empty when the data ends cleanly.
QByteArray separatorBeforeNewRecord(QByteArrayView bytes);
// The same for an archive of which only the last bytes, tail, are known: none when the tail is too short to
// tell where its records begin (it needs 16 lines in a row that are not the marker after its first line
// end), and a longer tail must be read.
std::optional<QByteArray> separatorBeforeNewRecordFromTail(QByteArrayView tail);

// A character that the archive cannot store, found while encoding a record.
struct UnstorableCharacter {
    int column = 0;    // record column holding it
    QString character; // the character itself (a surrogate pair stays whole)
    char32_t codePoint = 0;
};

// The character of text at index (a surrogate pair taken whole), found in the given record column.
UnstorableCharacter characterAt(QStringView text, qsizetype index, int column = 0);
// A character as the messages name it: "«Ω» (U+03A9)", or "U+000A" alone for one that cannot be seen.
QString characterLabel(const UnstorableCharacter& character);

// The Italian message that refuses a save because of problem, naming the character and its field.
QString unstorableMessage(const UnstorableCharacter& problem);

// The 17 lines of a record as the save appends them, in record: the marker, the date, then one space
// before each of the twelve fields, "True"/"False" for each model option and the check box as a number.
// Fails, with record empty and the first offending character in problem, when a text holds a character
// Windows-1252 cannot store or a line break; unstorableMessage(problem) is the text for the user.
bool encodeSavedRecord(const QString& dateText, const SlipTexts& fields, const PaletteState& state,
                       QByteArray& record, UnstorableCharacter& problem);

// The 17 lines of a record as a rewrite writes them, appended to out: the marker and the 16 values
// as read, byte for byte.
void encodeRewrittenRecord(const SlipRecord& record, QByteArray& out);

// A stored model option: True or False in any letter case, or a number (0 false, anything else true).
std::optional<bool> readOptionState(QStringView text);
// A stored check-box state: a whole number 0, 1 or 2.
std::optional<int> readCheckState(QStringView text);

// The slip fields of a record, as stored.
SlipTexts slipTextsOf(const SlipRecord& record);
// The palette state of a record; a value that cannot be read takes its start-up value
// (premarcati off, 2 frame on, check box ticked).
PaletteState paletteStateOf(const SlipRecord& record);
