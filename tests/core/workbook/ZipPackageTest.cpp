// SPDX-License-Identifier: GPL-3.0-or-later

// The zip reader and writer of workbooks: hand-damaged archives refused with a reason, the budget
// spent over all parts, and what the writer makes read back by our reader and by QuaZip.
#include "core/workbook/ZipPackage.h"
#include "core/workbook/WorkbookReader.h"

#include "FailureCompare.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 Plenty = qint64(1) << 30;

quint32 get(const QByteArray& b, qsizetype at, int width = 4)
{
    quint32 v = 0;
    for (int i = width - 1; i >= 0; --i)
        v = v << 8 | quint8(b[at + i]);
    return v;
}

void set(QByteArray& b, qsizetype at, quint32 v, int width = 4)
{
    for (int i = 0; i < width; ++i, v >>= 8)
        b[at + i] = char(v & 0xFF);
}

QByteArray zipOf(const QList<ZipEntry>& entries)
{
    QByteArray bytes;
    if (const Failure failure = writeZip(entries, bytes))
        qFatal("writeZip: %s", qPrintable(failure.text()));
    return bytes;
}

// Where the records of an archive without comment lie.
qsizetype endAt(const QByteArray& zip)
{
    return zip.size() - 22;
}

qsizetype centralAt(const QByteArray& zip, int entry)
{
    qsizetype at = get(zip, endAt(zip) + 16);
    for (int i = 0; i < entry; ++i)
        at += 46 + get(zip, at + 28, 2) + get(zip, at + 30, 2) + get(zip, at + 32, 2);
    return at;
}

qsizetype localAt(const QByteArray& zip, int entry)
{
    return get(zip, centralAt(zip, entry) + 42);
}

// Fields of the local header, which the central record holds 2 bytes further on.
constexpr int Flags = 6, Method = 8, Crc = 14, PackedSize = 18, Size = 22;
enum Where { End, Central, Local, Both };

const QByteArray Mimetype = "application/vnd.oasis.opendocument.spreadsheet";
const QByteArray Content = "<a>" + QByteArray(90, 'x') + "</a>   "; // 100 bytes

// mimetype stored, content.xml deflated; with a field changed when where is given.
QByteArray base(Where where = End, int entry = 0, int field = -1, quint32 value = 0, int width = 4)
{
    QByteArray zip = zipOf({{u"mimetype"_s, Mimetype, true}, {u"content.xml"_s, Content}});
    if (field < 0)
        return zip;
    if (where == End)
        set(zip, endAt(zip) + field, value, width);
    if (where == Central || where == Both)
        set(zip, centralAt(zip, entry) + field + (where == Both ? 2 : 0), value, width);
    if (where == Local || where == Both)
        set(zip, localAt(zip, entry) + field, value, width);
    return zip;
}

} // namespace

class ZipPackageTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void refusedAtOpen_data();
    void refusedAtOpen();
    void refusedAtRead_data();
    void refusedAtRead();
    void acceptsWhatOtherZipsHold();
    void budgetSpansParts();
    void roundTrip();
    void reasonReachesTheUser();
};

void ZipPackageTest::refusedAtOpen_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray zip = base();
    const auto size = quint32(zip.size());
    const QString content = u"l'intestazione della parte «content.xml» "_s;
    QTest::newRow("end record cut") << zip.chopped(5) << u"manca il record finale"_s;
    QTest::newRow("directory past the end")
        << base(End, 0, 16, size) << u"l'indice va oltre la fine del file"_s;
    QTest::newRow("fewer entries than records")
        << base(End, 0, 8, 0x00010001) << u"l'indice ha una dimensione diversa"_s;
    QTest::newRow("more entries than records")
        << base(End, 0, 8, 0x00030003) << u"l'indice è troncato o danneggiato alla voce 3"_s;
    QTest::newRow("name past the directory")
        << base(Central, 1, 28, 200, 2) << u"l'indice è troncato o danneggiato alla voce 2"_s;
    QTest::newRow("local header past the end") << base(Central, 1, 42, 0xFFFFFFF0) << content + u"manca"_s;
    QTest::newRow("data past the end") << base(Both, 1, PackedSize, 0xFFFFFFF0)
                                       << u"i dati della parte «content.xml» vanno oltre la fine del file"_s;
    QTest::newRow("local extra field past the end")
        << base(Local, 1, 28, 0xFFFF, 2) << u"i dati della parte «content.xml» vanno oltre"_s;
    QTest::newRow("local name differs") << base(Local, 1, 30, 'k', 1) << content + u"porta un altro nome"_s;
    QTest::newRow("local size differs") << base(Local, 1, Size, 101) << content + u"non concorda"_s;
    QTest::newRow("ZIP64 size") << base(Both, 1, Size, 0xFFFFFFFF) << u"l'archivio è in formato ZIP64"_s;
    QByteArray locator = zip;
    locator.insert(endAt(zip), QByteArray("PK\x06\x07", 4) + QByteArray(16, '\0'));
    QTest::newRow("ZIP64 locator") << locator << u"l'archivio è in formato ZIP64"_s;
    QTest::newRow("two volumes") << base(End, 0, 4, 1, 2) << u"l'archivio è diviso in più volumi"_s;
    QTest::newRow("duplicate names") << zipOf({{u"content.xml"_s, "a"}, {u"content.xml"_s, "b"}})
                                     << u"la parte «content.xml» compare due volte"_s;
    const quint32 packed = get(zip, centralAt(zip, 1) + 20);
    QTest::newRow("data running into the directory")
        << base(Both, 1, PackedSize, packed + 10) << u"la parte «content.xml» e l'indice si sovrappongono"_s;

    // b.xml's local header and data inside a.xml's stored data, and a directory naming both: reading
    // both would unpack the same bytes twice.
    const QByteArray inner = zipOf({{u"b.xml"_s, QByteArray(64, 'b'), true}});
    QByteArray outer = zipOf({{u"a.xml"_s, inner.left(centralAt(inner, 0)), true}});
    QByteArray record = inner.mid(centralAt(inner, 0), 46 + 5);
    set(record, 42, 30 + 5); // a.xml's data
    const qsizetype end = endAt(outer);
    outer.insert(end, record);
    set(outer, end + record.size() + 8, 0x00020002);
    set(outer, end + record.size() + 12, get(outer, end + record.size() + 12) + quint32(record.size()));
    QTest::newRow("overlapping entries")
        << outer << u"la parte «a.xml» e la parte «b.xml» si sovrappongono"_s;
}

void ZipPackageTest::refusedAtOpen()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    ZipReader zip(Plenty);
    const Failure failure = zip.open(bytes);
    QVERIFY(failure);
    QVERIFY2(failure.text().startsWith(reason), qPrintable(failure.text()));
    QVERIFY(zip.names().isEmpty());
    QVERIFY(!zip.contains(u"content.xml"_s));
}

void ZipPackageTest::refusedAtRead_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");
    const QByteArray zip = base();
    const quint32 packed = get(zip, centralAt(zip, 1) + 20);
    QByteArray garbage = zip;
    garbage.replace(localAt(zip, 1) + 30 + 11, 8, QByteArray(8, '\xFF'));
    QTest::newRow("encrypted") << base(Both, 1, Flags, 1, 2) << u"non si apre, perché è cifrata"_s;
    QTest::newRow("unknown method") << base(Both, 1, Method, 12, 2)
                                    << u"non si apre, perché è compressa con un metodo sconosciuto (12)"_s;
    QTest::newRow("inflates past its size")
        << base(Both, 1, Size, 90) << u"si decomprime oltre i 90 byte dichiarati"_s;
    QTest::newRow("inflates short of its size")
        << base(Both, 1, Size, 110) << u"si decomprime in 100 byte invece dei 110 dichiarati"_s;
    QTest::newRow("deflate data cut")
        << base(Both, 1, PackedSize, packed - 4) << u"non si decomprime (dati compressi troncati)"_s;
    QTest::newRow("deflate data garbage") << garbage << u"non si decomprime (dati compressi non validi)"_s;
    QTest::newRow("checksum") << base(Both, 1, Crc, get(zip, centralAt(zip, 1) + 16) ^ 1)
                              << u"non supera il controllo (CRC)"_s;
}

void ZipPackageTest::refusedAtRead()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    ZipReader zip(Plenty);
    QCOMPARE(zip.open(bytes), Failure());
    QByteArray out = "stale";
    const Failure failure = zip.read(u"content.xml"_s, out);
    QVERIFY(out.isEmpty());
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QCOMPARE(failure.text(), reason);
    // The other part is still there to read.
    QCOMPARE(zip.read(u"mimetype"_s, out), Failure());
    QCOMPARE(out, Mimetype);
}

void ZipPackageTest::acceptsWhatOtherZipsHold()
{
    // Sizes and CRC left to a data descriptor after the data, and a comment at the end.
    QByteArray zip = base(Both, 1, Flags, 8, 2);
    for (int field : {Crc, PackedSize, Size})
        set(zip, localAt(zip, 1) + field, 0);
    const QByteArray comment = "scritto a mano, con PK\x05\x06 nel commento";
    set(zip, endAt(zip) + 20, quint32(comment.size()), 2);
    zip.append(comment);
    ZipReader reader(Plenty);
    QCOMPARE(reader.open(zip), Failure());
    QCOMPARE(reader.names(), QStringList({u"mimetype"_s, u"content.xml"_s}));
    QByteArray out;
    QCOMPARE(reader.read(u"content.xml"_s, out), Failure());
    QCOMPARE(out, Content);
}

void ZipPackageTest::budgetSpansParts()
{
    const QByteArray part(1536 << 10, 'a');
    const qint64 budget = (3 << 20) - 1;
    ZipReader reader(budget);
    QCOMPARE(reader.open(zipOf({{u"a"_s, part}, {u"b"_s, part}, {u"small"_s, "x"}})), Failure());
    QByteArray out;
    QCOMPARE(reader.read(u"a"_s, out), Failure());
    QCOMPARE(reader.budgetLeft(), budget - part.size());
    // The same part twice costs twice: refused before anything is unpacked, and nothing spent.
    QVERIFY(reader.unpackedSize(u"a"_s) > reader.budgetLeft());
    QVERIFY(reader.read(u"a"_s, out));
    QVERIFY(out.isEmpty());
    QVERIFY(reader.read(u"b"_s, out));
    QCOMPARE(reader.budgetLeft(), budget - part.size());
    QCOMPARE(reader.read(u"small"_s, out), Failure());
    QCOMPARE(reader.budgetLeft(), budget - part.size() - 1);

    // 64 MiB that declare 100 bytes stop at the 101st, and spend nothing.
    QByteArray bomb = zipOf({{u"content.xml"_s, QByteArray(64 << 20, ' ')}});
    set(bomb, centralAt(bomb, 0) + 24, 100);
    set(bomb, localAt(bomb, 0) + Size, 100);
    ZipReader small(1 << 20);
    QCOMPARE(small.open(bomb), Failure());
    QCOMPARE(small.read(u"content.xml"_s, out).text(), u"si decomprime oltre i 100 byte dichiarati"_s);
    QCOMPARE(small.budgetLeft(), qint64(1) << 20);
}

void ZipPackageTest::roundTrip()
{
    QRandomGenerator random(20260101);
    QByteArray noise((1 << 20) + 17, '\0');
    random.fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
    const QList<ZipEntry> entries = {
        {u"mimetype"_s, Mimetype, true},     {u"vuota"_s, {}, true},
        {u"vuota.deflate"_s, {}, false},     {u"uno"_s, "1", true},
        {u"uno.deflate"_s, "1", false},      {u"rumore"_s, noise, true},
        {u"rumore.deflate"_s, noise, false}, {u"città/testo.xml"_s, QByteArray(3 << 20, 'z'), false},
    };
    const QByteArray zip = zipOf(entries);
    // The ODF type stands first, uncompressed, without extra field, dated as every entry.
    QCOMPARE(zip.mid(30, 8 + Mimetype.size()), "mimetype" + Mimetype);
    QCOMPARE(get(zip, Method, 2), 0u);
    QCOMPARE(get(zip, 28, 2), 0u);
    QCOMPARE(get(zip, 12, 2), quint32((2026 - 1980) << 9 | 1 << 5 | 1));

    ZipReader reader(Plenty);
    QCOMPARE(reader.open(zip), Failure());
    QStringList names;
    qint64 total = 0;
    for (const ZipEntry& entry : entries) {
        names.append(entry.name);
        QByteArray out;
        QCOMPARE(reader.read(entry.name, out), Failure());
        QCOMPARE(out, entry.bytes);
        total += entry.bytes.size();
    }
    QCOMPARE(reader.names(), names);
    QCOMPARE(reader.budgetLeft(), Plenty - total);

    // QuaZip, which shares no code with ours, reads the same and checks each CRC on closing.
    QByteArray copy = zip;
    QBuffer buffer(&copy);
    QuaZip quazip(&buffer);
    QVERIFY(quazip.open(QuaZip::mdUnzip));
    QCOMPARE(quazip.getFileNameList(), names);
    for (const ZipEntry& entry : entries) {
        QVERIFY(quazip.setCurrentFile(entry.name));
        QuaZipFile file(&quazip);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), entry.bytes);
        file.close();
        QCOMPARE(file.getZipError(), UNZ_OK);
    }
}

void ZipPackageTest::reasonReachesTheUser()
{
    WorkbookReader reader;
    // The zip's reason is a clause inside the sentence, never one of its own.
    QCOMPARE(reader.open(base(End, 0, 16, quint32(base().size()))).text(),
             u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile "
             u"(l'indice va oltre la fine del file)."_s);
    QCOMPARE(reader.open(base(Both, 1, Flags, 1, 2)).text(),
             u"Il foglio di lavoro è danneggiato: la parte content.xml non si apre, perché è cifrata."_s);
    // Past the budget is no damage: the workbook is refused for its size.
    const Failure tooLarge = reader.open(base(Both, 1, Size, quint32(WorkbookReader::MaxUnpackedBytes + 1)));
    QVERIFY2(tooLarge.text().startsWith(u"Il foglio di lavoro decompresso supera 512 MB"_s),
             qPrintable(tooLarge.text()));
}

QTEST_GUILESS_MAIN(ZipPackageTest)
#include "ZipPackageTest.moc"
