// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipRecord.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Qt::StringLiterals;

using Columns = QStringList;
Q_DECLARE_METATYPE(QList<Columns>)

namespace {

QByteArray joined(const QList<QByteArray>& lines, const QByteArray& end = "\r\n")
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + end;
    return out;
}

const QByteArray Marker("?*@1\xE7*^");

// A record as the save writes it, and the same record as the deletion writes it back.
const QList<QByteArray> SavedLines = {Marker,
                                      "07 dicembre 2026",
                                      " Rossi Mario",
                                      " Via Roma 1",
                                      " 00100",
                                      " Roma",
                                      " 1234,50",
                                      " milleduecentotrentaquattro/50",
                                      " Ente Acque",
                                      " ",
                                      " ",
                                      " 12345678",
                                      " Bolletta",
                                      " 123",
                                      " False",
                                      " True",
                                      " 1"};
const QList<QByteArray> RewrittenLines = {Marker,
                                          "05 gennaio 2027",
                                          "Bianchi Anna",
                                          "Corso Italia 2",
                                          "20100",
                                          "Milano",
                                          "15,00",
                                          "quindici/00",
                                          "Comune",
                                          "Ufficio Tributi",
                                          "",
                                          "1000",
                                          "Tassa",
                                          "896",
                                          "True",
                                          "False",
                                          "0"};
const Columns SavedColumns = {u"07 dicembre 2026"_s,
                              u"Rossi Mario"_s,
                              u"Via Roma 1"_s,
                              u"00100"_s,
                              u"Roma"_s,
                              u"1234,50"_s,
                              u"milleduecentotrentaquattro/50"_s,
                              u"Ente Acque"_s,
                              QString(),
                              QString(),
                              u"12345678"_s,
                              u"Bolletta"_s,
                              u"123"_s,
                              u"False"_s,
                              u"True"_s,
                              u"1"_s};
const Columns RewrittenColumns = {u"05 gennaio 2027"_s,
                                  u"Bianchi Anna"_s,
                                  u"Corso Italia 2"_s,
                                  u"20100"_s,
                                  u"Milano"_s,
                                  u"15,00"_s,
                                  u"quindici/00"_s,
                                  u"Comune"_s,
                                  u"Ufficio Tributi"_s,
                                  QString(),
                                  u"1000"_s,
                                  u"Tassa"_s,
                                  u"896"_s,
                                  u"True"_s,
                                  u"False"_s,
                                  u"0"_s};

Columns columnsOf(const SlipRecord& record)
{
    return record.columns();
}

SlipRecord recordOf(const Columns& columns)
{
    const std::optional<SlipRecord> record = SlipRecord::fromColumns(columns);
    if (!record)
        QTest::qFail("a test record that the archive cannot hold", __FILE__, __LINE__);
    return record.value_or(SlipRecord());
}

Columns padded(Columns columns)
{
    while (columns.size() < RecordColumnCount)
        columns.append(QString());
    return columns;
}

SlipTexts sampleFields()
{
    return {u"Rossi Mario"_s, u"Via Roma 1"_s, u"00100"_s,
            u"Roma"_s,        u"1234,50"_s,    u"milleduecentotrentaquattro/50"_s,
            u"Ente Acque"_s,  QString(),       QString(),
            u"12345678"_s,    u"Bolletta"_s,   u"123"_s};
}

// The records of bytes by the archive's line rules, one byte at a time: a line ends at CR LF, CR CR LF,
// a lone CR or a lone LF; the 16 lines after a marker line are a record's values, whatever they hold.
QList<Columns> recordsByTheRules(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    QByteArray line;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        if (bytes.mid(i, 2) == "\r\n")
            i += 1;
        else if (bytes.mid(i, 3) == "\r\r\n")
            i += 2;
        lines.append(line);
        line.clear();
    }
    if (!line.isEmpty())
        lines.append(line);
    QList<Columns> records;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        if (lines[l] != Marker)
            continue;
        Columns columns;
        for (int value = 0; value < RecordColumnCount; ++value)
            columns.append(QString::fromLatin1(lines.value(l + 1 + value).trimmed()));
        records.append(columns);
        l += RecordColumnCount;
    }
    return records;
}

} // namespace

class SlipRecordTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reads_data();
    void reads();
    void readsManyRecords();
    void readsInPieces_data();
    void readsInPieces();
    void visitsInPieces_data();
    void visitsInPieces();
    void visitingHoldsOneRecordAtMost();
    void readsLikeTheLineRules();
    void writesTheSavedShape();
    void writesTheRewrittenShape();
    void savedRecordReadsBackTrimmed();
    void refusesUnstorableText_data();
    void refusesUnstorableText();
    void namesTheFieldInTheMessage();
    void rewrittenRecordsFollowEachOther();
    void rewrittenArchiveReadsBackEqual();
    void readsOptionStates_data();
    void readsOptionStates();
    void readsCheckStates_data();
    void readsCheckStates();
    void paletteStateOfRecord_data();
    void paletteStateOfRecord();
    void slipTextsOfRecord();
    void recordFromColumns();
    void separatorFromTheTailAlone_data();
    void separatorFromTheTailAlone();
};

void SlipRecordTest::reads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<Columns>>("records");

    QTest::newRow("empty file") << QByteArray() << QList<Columns>{};
    QTest::newRow("only line ends") << QByteArray("\r\n\r\n\n\r") << QList<Columns>{};
    QTest::newRow("record as saved") << joined(SavedLines) << QList<Columns>{SavedColumns};
    QTest::newRow("record as rewritten") << joined(RewrittenLines) << QList<Columns>{RewrittenColumns};
    QTest::newRow("both shapes in one file")
        << joined(RewrittenLines + SavedLines) << QList<Columns>{RewrittenColumns, SavedColumns};
    QTest::newRow("lines before the first marker are skipped")
        << joined(QList<QByteArray>{"intestazione", "", " ?*@1\xE7*^x"} + SavedLines)
        << QList<Columns>{SavedColumns};
    QTest::newRow("lines between records are skipped")
        << joined(SavedLines + QList<QByteArray>{"avanzo", "altro"} + RewrittenLines)
        << QList<Columns>{SavedColumns, RewrittenColumns};
    QTest::newRow("marker with a trailing space is not a marker")
        << joined({"?*@1\xE7*^ ", "a", "b"}) << QList<Columns>{};
    QTest::newRow("marker with a leading space is not a marker")
        << joined({" ?*@1\xE7*^", "a", "b"}) << QList<Columns>{};
    QTest::newRow("marker in capitals is not a marker") << joined({"?*@1\xC7*^", "a"}) << QList<Columns>{};
    QTest::newRow("marker written in UTF-8 is not a marker")
        << joined({"?*@1\xC3\xA7*^", "a"}) << QList<Columns>{};
    QTest::newRow("value line equal to the marker is a value")
        << joined({Marker, "01 marzo 2026", Marker, "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                   "n", "o", "p"})
        << QList<Columns>{{u"01 marzo 2026"_s, u"?*@1ç*^"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"h"_s,
                           u"i"_s, u"j"_s, u"k"_s, u"l"_s, u"m"_s, u"n"_s, u"o"_s, u"p"_s}};
    QTest::newRow("last record cut short")
        << joined(SavedLines + QList<QByteArray>{Marker, "08 dicembre 2026", " Verdi"})
        << QList<Columns>{SavedColumns, padded({u"08 dicembre 2026"_s, u"Verdi"_s})};
    QTest::newRow("marker as the last line") << joined({"x", Marker}) << QList<Columns>{padded({})};
    QTest::newRow("last line without a line end")
        << joined(SavedLines).chopped(2) << QList<Columns>{SavedColumns};
    QTest::newRow("cut inside the last value line")
        << QByteArray("?*@1\xE7*^\r\n02 aprile 2026\r\n Ros")
        << QList<Columns>{padded({u"02 aprile 2026"_s, u"Ros"_s})};
    QTest::newRow("line feeds only") << joined(SavedLines, "\n") << QList<Columns>{SavedColumns};
    QTest::newRow("carriage returns only") << joined(SavedLines, "\r") << QList<Columns>{SavedColumns};
    QTest::newRow("mixed line ends")
        << QByteArray("?*@1\xE7*^\n01 maggio 2026\r a\r\n b\nc\rd\r\n\r\n\n\r\n\n\r\n\r\n\r\n\r\n\r\n\r\n")
        << QList<Columns>{padded({u"01 maggio 2026"_s, u"a"_s, u"b"_s, u"c"_s, u"d"_s})};
    // A file converted twice to CR LF.
    QTest::newRow("CR CR LF is one line end")
        << QByteArray("?*@1\xE7*^\r\r\ndata\r\r\nnome\r\n") << QList<Columns>{padded({u"data"_s, u"nome"_s})};
    QTest::newRow("CR CR then a letter: two lone CRs")
        << QByteArray("?*@1\xE7*^\rdata\r\rnome")
        << QList<Columns>{padded({u"data"_s, QString(), u"nome"_s})};
    QTest::newRow("only spaces are trimmed, tabs stay")
        << joined({Marker, "  d  ", "\tnome\t ", "   "}) << QList<Columns>{padded({u"d"_s, u"\tnome\t"_s})};
    QTest::newRow("windows-1252 letters") << joined({Marker, "01 giugno 2026", " Citt\xE0 \x80 \x93x\x94"})
                                          << QList<Columns>{padded({u"01 giugno 2026"_s, u"Città € “x”"_s})};
}

void SlipRecordTest::reads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Columns>, records);
    const ArchiveTable table = readArchive(bytes);
    QCOMPARE(table.size(), records.size());
    for (qsizetype r = 0; r < records.size(); ++r)
        QCOMPARE(columnsOf(table[r]), records[r]);
}

void SlipRecordTest::readsManyRecords()
{
    // Far more than the thousand records an old reader could hold.
    QByteArray bytes;
    for (int r = 0; r < 1500; ++r)
        bytes += joined({Marker, "07 dicembre 2026", " Nome " + QByteArray::number(r), " ", " ", " ", " ",
                         " ", " ", " ", " ", " ", " ", " ", " False", " True", " 1"});
    const ArchiveTable table = readArchive(bytes);
    QCOMPARE(table.size(), 1500);
    QCOMPARE(table[0].column(1), u"Nome 0"_s);
    QCOMPARE(table[999].column(1), u"Nome 999"_s);
    QCOMPARE(table[1000].column(1), u"Nome 1000"_s);
    QCOMPARE(table[1499].column(1), u"Nome 1499"_s);
    QCOMPARE(table[1499].column(15), u"1"_s);
}

void SlipRecordTest::readsInPieces_data()
{
    reads_data();
    QByteArray many;
    for (int r = 0; r < 40; ++r)
        many += joined(r % 3 ? SavedLines : RewrittenLines, r % 2 ? "\r\n" : "\r\r\n");
    QList<Columns> manyRecords;
    for (int r = 0; r < 40; ++r)
        manyRecords.append(r % 3 ? SavedColumns : RewrittenColumns);
    QTest::newRow("forty records, CR LF and CR CR LF") << many << manyRecords;
}

// The bytes arrive in pieces, as a large archive is read: wherever the pieces end, even between the CR
// and the LF of one line end, the records are those of the whole.
void SlipRecordTest::readsInPieces()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Columns>, records);
    for (const qsizetype piece : {1, 2, 3, 5, 16, 31, 33, 100}) {
        ArchiveStreamReader reader(bytes);
        for (qsizetype filled = 0; filled < bytes.size(); filled += piece)
            reader.advance(filled);
        const ArchiveTable table = reader.finish();
        QCOMPARE(table.size(), records.size());
        for (qsizetype r = 0; r < records.size(); ++r)
            QCOMPARE(columnsOf(table[r]), records[r]);
    }
}

void SlipRecordTest::visitsInPieces_data()
{
    readsInPieces_data();
}

// The bytes arrive in pieces that the reader does not keep, each record handed over once it is whole:
// the records are those of the whole, whether the visitor keeps each record (its bytes must then stay as
// they were) or only what it reads of it at once (the buffer is then used again).
void SlipRecordTest::visitsInPieces()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Columns>, records);
    for (const qsizetype piece : {1, 2, 3, 5, 16, 31, 33, 100}) {
        ArchiveTable kept;
        QList<Columns> readAtOnce;
        ArchivePieceReader reader([&](const SlipRecord& record) {
            kept.append(record);
            readAtOnce.append(columnsOf(record));
        });
        ArchivePieceReader seenOnly([&](const SlipRecord& record) { readAtOnce.append(columnsOf(record)); });
        for (qsizetype from = 0; from < bytes.size(); from += piece)
            reader.add(QByteArrayView(bytes).sliced(from, qMin(piece, bytes.size() - from)));
        reader.finish();
        QCOMPARE(kept.size(), records.size());
        for (qsizetype r = 0; r < records.size(); ++r)
            QCOMPARE(columnsOf(kept[r]), records[r]);

        readAtOnce.clear();
        for (qsizetype from = 0; from < bytes.size(); from += piece)
            seenOnly.add(QByteArrayView(bytes).sliced(from, qMin(piece, bytes.size() - from)));
        seenOnly.finish();
        QCOMPARE(readAtOnce, records);
    }
}

// What the reader holds between pieces is a line or a record not yet whole, never what came before.
void SlipRecordTest::visitingHoldsOneRecordAtMost()
{
    const QByteArray record = joined(SavedLines);
    qsizetype visited = 0;
    qsizetype mostHeld = 0;
    ArchivePieceReader reader([&](const SlipRecord&) { ++visited; });
    const QByteArray bytes = record.repeated(2000);
    for (qsizetype from = 0; from < bytes.size(); from += 100) {
        reader.add(QByteArrayView(bytes).sliced(from, qMin<qsizetype>(100, bytes.size() - from)));
        mostHeld = qMax(mostHeld, reader.held());
    }
    reader.finish();
    QCOMPARE(visited, 2000);
    // A record is 177 bytes: less than that is held, its marker line left behind.
    QCOMPARE(record.size(), 177);
    QVERIFY2(mostHeld < 177, qPrintable(QString::number(mostHeld)));
    QVERIFY(mostHeld > 0);
}

// Random files of line ends, markers, spaces and letters, long enough that line ends fall on every edge
// of the reader's 32-byte blocks, read whole and in pieces, against the line rules applied byte by byte.
void SlipRecordTest::readsLikeTheLineRules()
{
    QRandomGenerator random(20261208);
    const QList<QByteArray> pieces = {"\r", "\n", "\r\n", "\r\r\n", "\r\r", "a", " ", "bc", Marker};
    for (int file = 0; file < 400; ++file) {
        QByteArray bytes;
        const int length = random.bounded(1, 600);
        while (bytes.size() < length)
            bytes += pieces[random.bounded(int(pieces.size()))];
        const QList<Columns> expected = recordsByTheRules(bytes);
        ArchiveStreamReader reader(bytes);
        for (qsizetype filled = 0; filled < bytes.size(); filled += random.bounded(1, 80))
            reader.advance(filled);
        const ArchiveTable inPieces = reader.finish();
        QList<Columns> visited;
        ArchivePieceReader visiting(
            [&visited](const SlipRecord& record) { visited.append(columnsOf(record)); });
        for (qsizetype from = 0, piece = 0; from < bytes.size(); from += piece) {
            piece = qMin<qsizetype>(random.bounded(1, 80), bytes.size() - from);
            visiting.add(QByteArrayView(bytes).sliced(from, piece));
        }
        visiting.finish();
        const ArchiveTable whole = readArchive(bytes);
        QCOMPARE(whole.size(), expected.size());
        QCOMPARE(inPieces.size(), expected.size());
        for (qsizetype r = 0; r < expected.size(); ++r) {
            QCOMPARE(columnsOf(whole[r]), expected[r]);
            QCOMPARE(columnsOf(inPieces[r]), expected[r]);
        }
        QCOMPARE(visited, expected);
    }
}

void SlipRecordTest::writesTheSavedShape()
{
    const PaletteState state{false, true, CheckBoxState::Ticked};
    QByteArray bytes;
    UnstorableCharacter problem;
    QVERIFY(encodeSavedRecord(u"07 dicembre 2026"_s, sampleFields(), state, bytes, problem));
    QCOMPARE(bytes,
             QByteArray("?*@1\xE7*^\r\n07 dicembre 2026\r\n Rossi Mario\r\n Via Roma 1\r\n 00100\r\n"
                        " Roma\r\n 1234,50\r\n milleduecentotrentaquattro/50\r\n Ente Acque\r\n \r\n \r\n"
                        " 12345678\r\n Bolletta\r\n 123\r\n False\r\n True\r\n 1\r\n"));

    const SlipTexts empty;
    QByteArray blank;
    QVERIFY(encodeSavedRecord(u"01 gennaio 2027"_s, empty, PaletteState{true, false, CheckBoxState::Greyed},
                              blank, problem));
    QCOMPARE(blank,
             QByteArray("?*@1\xE7*^\r\n01 gennaio 2027\r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n \r\n"
                        " \r\n \r\n \r\n True\r\n False\r\n 2\r\n"));
}

void SlipRecordTest::writesTheRewrittenShape()
{
    QByteArray out("before\r\n");
    encodeRewrittenRecord(recordOf(RewrittenColumns), out);
    QCOMPARE(out, QByteArray(
                      "before\r\n?*@1\xE7*^\r\n05 gennaio 2027\r\nBianchi Anna\r\nCorso Italia 2\r\n20100\r\n"
                      "Milano\r\n15,00\r\nquindici/00\r\nComune\r\nUfficio Tributi\r\n\r\n1000\r\nTassa\r\n"
                      "896\r\nTrue\r\nFalse\r\n0\r\n"));
}

void SlipRecordTest::savedRecordReadsBackTrimmed()
{
    SlipTexts fields = sampleFields();
    fields[PayerName] = u"  Rossi   Mario  "_s;
    fields[PaymentReason] = u"Rata € 2 – “saldo”"_s;
    QByteArray bytes;
    UnstorableCharacter problem;
    QVERIFY(encodeSavedRecord(u"07 dicembre 2026"_s, fields, PaletteState{true, false, CheckBoxState::Greyed},
                              bytes, problem));
    const ArchiveTable table = readArchive(bytes);
    QCOMPARE(table.size(), 1);
    QCOMPARE(table[0].column(1), u"Rossi   Mario"_s);
    QCOMPARE(table[0].column(11), u"Rata € 2 – “saldo”"_s);
    QCOMPARE(table[0].column(13), u"True"_s);
    QCOMPARE(table[0].column(14), u"False"_s);
    QCOMPARE(table[0].column(15), u"2"_s);
}

void SlipRecordTest::refusesUnstorableText_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("character");
    QTest::addColumn<uint>("codePoint");

    QTest::newRow("greek letter in the town") << int(PayerTown) << u"Ατθ"_s << 4 << u"Α"_s << 0x391u;
    QTest::newRow("emoji in the reason")
        << int(PaymentReason) << u"ok \U0001F600"_s << 11 << u"\U0001F600"_s << 0x1F600u;
    QTest::newRow("line feed in the name") << int(PayerName) << u"a\nb"_s << 1 << u"\n"_s << 0x0Au;
    QTest::newRow("carriage return in the amount") << int(Amount) << u"1\r"_s << 5 << u"\r"_s << 0x0Du;
    QTest::newRow("polish letter in the payee") << int(PayeeLine3) << u"Łódź"_s << 9 << u"Ł"_s << 0x141u;
}

void SlipRecordTest::refusesUnstorableText()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(int, column);
    QFETCH(QString, character);
    QFETCH(uint, codePoint);
    SlipTexts fields = sampleFields();
    fields[field] = text;
    QByteArray bytes;
    UnstorableCharacter problem;
    QVERIFY(!encodeSavedRecord(u"07 dicembre 2026"_s, fields, PaletteState{}, bytes, problem));
    QCOMPARE(problem.column, column);
    QCOMPARE(problem.character, character);
    QCOMPARE(uint(problem.codePoint), codePoint);
}

void SlipRecordTest::namesTheFieldInTheMessage()
{
    QCOMPARE(unstorableMessage({4, u"Ω"_s, 0x3A9}),
             u"Il carattere «Ω» (U+03A9) del campo «Città» non può essere salvato nell'archivio.\n"
             u"Correggere il campo e salvare di nuovo: nulla è stato salvato."_s);
    QCOMPARE(unstorableMessage({1, u"\n"_s, 0x0A}),
             u"Il carattere U+000A del campo «Cognome e Nome» non può essere salvato nell'archivio.\n"
             u"Correggere il campo e salvare di nuovo: nulla è stato salvato."_s);
}

// A rewrite writes the records one after the other, each whole: the file reads back as they were.
void SlipRecordTest::rewrittenRecordsFollowEachOther()
{
    ArchiveTable table;
    for (const QString& name : {u"Secondo"_s, u"Terzo"_s})
        table.append(recordOf({u"01 luglio 2026"_s, name}));
    QByteArray out;
    for (const SlipRecord& record : table)
        encodeRewrittenRecord(record, out);
    QCOMPARE(out,
             QByteArray("?*@1\xE7*^\r\n01 luglio 2026\r\nSecondo\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                        "\r\n\r\n\r\n\r\n"
                        "?*@1\xE7*^\r\n01 luglio 2026\r\nTerzo\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"
                        "\r\n\r\n\r\n\r\n"));
    QCOMPARE(readArchive(out), table);
}

void SlipRecordTest::rewrittenArchiveReadsBackEqual()
{
    const QByteArray original = joined(SavedLines + RewrittenLines + SavedLines);
    const ArchiveTable table = readArchive(original);
    QByteArray rewritten;
    for (const SlipRecord& record : table)
        encodeRewrittenRecord(record, rewritten);
    QCOMPARE(readArchive(rewritten), table);
    QCOMPARE(rewritten.size(), original.size() - 2 * 15);
}

void SlipRecordTest::readsOptionStates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // 0 false, 1 true, -1 unreadable

    QTest::newRow("True") << u"True"_s << 1;
    QTest::newRow("False") << u"False"_s << 0;
    QTest::newRow("true in lower case") << u"true"_s << 1;
    QTest::newRow("FALSE in capitals") << u"FALSE"_s << 0;
    QTest::newRow("mixed case") << u"tRuE"_s << 1;
    QTest::newRow("spaces around") << u"  False "_s << 0;
    QTest::newRow("zero") << u"0"_s << 0;
    QTest::newRow("minus one") << u"-1"_s << 1;
    QTest::newRow("two") << u"2"_s << 1;
    QTest::newRow("zero with decimals") << u"0.0"_s << 0;
    QTest::newRow("half with a decimal comma") << u"0,5"_s << 1;
    QTest::newRow("italian word") << u"Vero"_s << -1;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("truncated word") << u"Tru"_s << -1;
    QTest::newRow("not a number") << u"nan"_s << -1;
}

void SlipRecordTest::readsOptionStates()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    const std::optional<bool> state = readOptionState(text);
    QCOMPARE(state.has_value() ? int(*state) : -1, expected);
}

void SlipRecordTest::readsCheckStates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // -1 unreadable

    QTest::newRow("unticked") << u"0"_s << 0;
    QTest::newRow("ticked") << u"1"_s << 1;
    QTest::newRow("greyed") << u"2"_s << 2;
    QTest::newRow("spaces around") << u" 1 "_s << 1;
    QTest::newRow("three is no state") << u"3"_s << -1;
    QTest::newRow("negative") << u"-1"_s << -1;
    QTest::newRow("word") << u"True"_s << -1;
    QTest::newRow("decimal") << u"1.5"_s << -1;
    QTest::newRow("empty") << QString() << -1;
}

void SlipRecordTest::readsCheckStates()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(readCheckState(text).value_or(-1), expected);
}

void SlipRecordTest::paletteStateOfRecord_data()
{
    QTest::addColumn<QString>("premarcati");
    QTest::addColumn<QString>("twoFrame");
    QTest::addColumn<QString>("check");
    QTest::addColumn<bool>("expectPremarcati");
    QTest::addColumn<bool>("expectTwoFrame");
    QTest::addColumn<int>("expectCheck");

    QTest::newRow("premarcati, unticked") << u"True"_s << u"False"_s << u"0"_s << true << false << 0;
    QTest::newRow("2 frame, greyed") << u"False"_s << u"True"_s << u"2"_s << false << true << 2;
    QTest::newRow("both false as stored") << u"False"_s << u"False"_s << u"1"_s << false << false << 1;
    QTest::newRow("unreadable values take the start-up state")
        << u"forse"_s << QString() << u"9"_s << false << true << 1;
    QTest::newRow("one unreadable option") << u"True"_s << u"boh"_s << u"0"_s << true << true << 0;
}

void SlipRecordTest::paletteStateOfRecord()
{
    QFETCH(QString, premarcati);
    QFETCH(QString, twoFrame);
    QFETCH(QString, check);
    QFETCH(bool, expectPremarcati);
    QFETCH(bool, expectTwoFrame);
    QFETCH(int, expectCheck);
    QStringList columns(13);
    columns << premarcati << twoFrame << check;
    const PaletteState state = paletteStateOf(recordOf(columns));
    QCOMPARE(state.premarcati, expectPremarcati);
    QCOMPARE(state.twoFrame, expectTwoFrame);
    QCOMPARE(int(state.check), expectCheck);
}

void SlipRecordTest::slipTextsOfRecord()
{
    const SlipTexts texts = slipTextsOf(recordOf(SavedColumns));
    QCOMPARE(texts[PayerName], u"Rossi Mario"_s);
    QCOMPARE(texts[Amount], u"1234,50"_s);
    QCOMPARE(texts[AmountWords], u"milleduecentotrentaquattro/50"_s);
    QCOMPARE(texts[PayeeLine2], QString());
    QCOMPARE(texts[AccountNumber], u"12345678"_s);
    QCOMPARE(texts[DocumentType], u"123"_s);
}

void SlipRecordTest::recordFromColumns()
{
    const std::optional<SlipRecord> record = SlipRecord::fromColumns({u"d"_s, u"Città €"_s});
    QVERIFY(record);
    QCOMPARE(record->column(1), u"Città €"_s);
    QCOMPARE(record->columnBytes(1), QByteArrayView("Citt\xE0 \x80"));
    QCOMPARE(record->column(15), QString());
    QCOMPARE(*record, readArchive(joined({Marker, "d", "Citt\xE0 \x80"}))[0]);
    QVERIFY(!SlipRecord::fromColumns({u"Ω"_s}));
    QVERIFY(!SlipRecord::fromColumns({u"a"_s, u"b\nc"_s}));
}

void SlipRecordTest::separatorFromTheTailAlone_data()
{
    QTest::addColumn<QByteArray>("tail"); // the last bytes of an archive, cut anywhere at the front
    QTest::addColumn<bool>("known");
    QTest::addColumn<QByteArray>("separator");

    const QByteArray whole = joined(RewrittenLines);
    const QByteArray crlf = "\r\n";
    QTest::newRow("two whole records") << (whole + whole).sliced(5) << true << QByteArray();
    QTest::newRow("last record cut after three values")
        << (whole + joined(RewrittenLines.first(4))).sliced(3) << true << crlf.repeated(13);
    QTest::newRow("last line has no end")
        << (whole + Marker + "\r\n07 dicembre 2026\r\nRossi").sliced(2) << true << crlf.repeated(15);
    QTest::newRow("cut record ended by lone CRs")
        << (whole + Marker + "\r07 dicembre 2026\r").sliced(4) << true << QByteArray("\r").repeated(15);
    // A value that reads like the marker does not open a record: after it the record is already whole.
    QList<QByteArray> markerValue = RewrittenLines;
    markerValue[2] = Marker;
    QTest::newRow("value equal to the marker, tail long enough")
        << (whole + joined(markerValue)).sliced(1) << true << QByteArray();
    QTest::newRow("value equal to the marker, tail too short")
        << joined(markerValue).sliced(1) << false << QByteArray();
    QTest::newRow("empty tail") << QByteArray() << false << QByteArray();
}

void SlipRecordTest::separatorFromTheTailAlone()
{
    QFETCH(QByteArray, tail);
    QFETCH(bool, known);
    QFETCH(QByteArray, separator);
    const std::optional<QByteArray> found = separatorBeforeNewRecordFromTail(tail);
    QCOMPARE(found.has_value(), known);
    if (known)
        QCOMPARE(*found, separator);
}

QTEST_GUILESS_MAIN(SlipRecordTest)
#include "SlipRecordTest.moc"
