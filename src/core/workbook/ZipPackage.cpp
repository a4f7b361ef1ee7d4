// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/ZipPackage.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 LocalSignature = 0x04034b50;
constexpr quint32 CentralSignature = 0x02014b50;
constexpr quint32 EndSignature = 0x06054b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr qint64 LocalHeaderSize = 30;
constexpr qint64 CentralHeaderSize = 46;
constexpr qint64 EndSize = 22;
constexpr qint64 Zip64LocatorSize = 20;
constexpr qint64 MaxComment = 0xFFFF;
constexpr quint16 FlagEncrypted = 0x0001;
constexpr quint16 FlagDataDescriptor = 0x0008;
constexpr quint16 FlagUtf8 = 0x0800;
constexpr quint16 MethodStored = 0;
constexpr quint16 MethodDeflated = 8;
// 2026-01-01 00:00 in MS-DOS form: years since 1980, month, day; the time is midnight.
constexpr quint16 FixedDate = ((2026 - 1980) << 9) | (1 << 5) | 1;
// Version 1.0 extracts stored entries, 2.0 deflated ones; made by MS-DOS attributes, version 2.0.
constexpr quint16 VersionStored = 10;
constexpr quint16 VersionDeflated = 20;
constexpr quint16 MadeBy = 20;
// Bytes unpacked at a time, so that memory grows with what the data really hold.
constexpr qint64 Chunk = qint64(1) << 20;

// Little-endian fields; the caller has checked that they lie inside the buffer.
quint16 u16(const QByteArray& b, qint64 at)
{
    return quint16(quint8(b[at]) | quint8(b[at + 1]) << 8);
}

quint32 u32(const QByteArray& b, qint64 at)
{
    return quint32(u16(b, at)) | quint32(u16(b, at + 2)) << 16;
}

void put16(QByteArray& b, quint16 v)
{
    b.append(char(v & 0xFF));
    b.append(char(v >> 8));
}

void put32(QByteArray& b, quint32 v)
{
    put16(b, quint16(v & 0xFFFF));
    put16(b, quint16(v >> 16));
}

quint32 crcOf(const char* data, qint64 size)
{
    uLong crc = crc32(0, nullptr, 0);
    while (size > 0) {
        const uInt n = uInt(std::min<qint64>(size, Chunk));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), n);
        data += n;
        size -= n;
    }
    return quint32(crc);
}

QString nameOf(const QByteArray& raw, quint16 flags)
{
    // Without the UTF-8 flag the names are in code page 437; the names a workbook's parts have are
    // ASCII, where the two agree.
    return (flags & FlagUtf8) ? QString::fromUtf8(raw) : QString::fromLatin1(raw);
}

// Raw deflate of the whole of data at level 6.
bool deflated(const QByteArray& data, QByteArray& out)
{
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(qsizetype(deflateBound(&zs, uLong(data.size()))));
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = uInt(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(qsizetype(zs.total_out));
    deflateEnd(&zs);
    return rc == Z_STREAM_END;
}

} // namespace

ZipReader::ZipReader(qint64 budget) : m_budget(budget)
{
}

namespace {

// The reasons more than one check gives.
const QString Zip64 = u"l'archivio è in formato ZIP64, che non è gestito"_s;
const QString ManyVolumes = u"l'archivio è diviso in più volumi"_s;

QString directoryDamagedAt(const QString& which)
{
    return u"l'indice è troncato o danneggiato alla voce %1"_s.arg(which);
}

QString partTooLarge(const QString& name)
{
    return u"la parte %1 non sta in un archivio zip"_s.arg(name);
}

// The end record's word on the central directory.
struct Directory {
    qint64 endAt = -1;
    qint64 at = 0;
    qint64 size = 0;
    int count = 0;
};

// The end record, the last thing in the file but for its comment; the reason when it is
// missing or asks for what this reader does not read.
Failure readDirectoryPlace(const QByteArray& b, Directory& directory)
{
    const qint64 size = b.size();
    qint64 end = -1;
    for (qint64 at = size - EndSize; at >= 0 && at >= size - EndSize - MaxComment; --at) {
        if (u32(b, at) == EndSignature && at + EndSize + u16(b, at + 20) == size) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return Failure::failed(u"manca il record finale dell'indice, forse il file è troncato"_s);
    const quint16 disk = u16(b, end + 4);
    const quint16 directoryDisk = u16(b, end + 6);
    const quint16 entriesHere = u16(b, end + 8);
    const quint16 count = u16(b, end + 10);
    const qint64 directorySize = u32(b, end + 12);
    const qint64 directoryAt = u32(b, end + 16);
    if ((end >= Zip64LocatorSize && u32(b, end - Zip64LocatorSize) == Zip64LocatorSignature) ||
        count == 0xFFFF || directorySize == 0xFFFFFFFF || directoryAt == 0xFFFFFFFF) {
        return Failure::failed(Zip64);
    }
    if (disk != 0 || directoryDisk != 0 || entriesHere != count)
        return Failure::failed(ManyVolumes);
    if (directoryAt + directorySize > end)
        return Failure::failed(u"l'indice va oltre la fine del file"_s);
    directory = {end, directoryAt, directorySize, count};
    return {};
}

// One entry as the central directory and its local header, which must agree, describe it.
struct CentralRecord {
    QByteArray rawName;
    QString name;
    quint16 flags = 0;
    quint16 method = 0;
    quint32 crc = 0;
    qint64 packedSize = 0;
    qint64 unpackedSize = 0;
    qint64 localAt = 0;
    qint64 dataAt = 0;
};

// The central directory's record at at (its number, from 1, is which), at moved past it; the
// reason when it is cut short or asks for what this reader does not read.
Failure readCentralRecord(const QByteArray& b, qint64& at, qint64 directoryEnd, const QString& which,
                          CentralRecord& record)
{
    if (directoryEnd - at < CentralHeaderSize || u32(b, at) != CentralSignature)
        return Failure::failed(directoryDamagedAt(which));
    record.flags = u16(b, at + 8);
    record.method = u16(b, at + 10);
    record.crc = u32(b, at + 16);
    record.packedSize = u32(b, at + 20);
    record.unpackedSize = u32(b, at + 24);
    const qint64 nameLength = u16(b, at + 28);
    const qint64 extraLength = u16(b, at + 30);
    const qint64 commentLength = u16(b, at + 32);
    const quint16 startDisk = u16(b, at + 34);
    record.localAt = u32(b, at + 42);
    const qint64 recordSize = CentralHeaderSize + nameLength + extraLength + commentLength;
    if (directoryEnd - at < recordSize)
        return Failure::failed(directoryDamagedAt(which));
    record.rawName = b.mid(at + CentralHeaderSize, nameLength);
    record.name = nameOf(record.rawName, record.flags);
    at += recordSize;
    if (record.packedSize == 0xFFFFFFFF || record.unpackedSize == 0xFFFFFFFF ||
        record.localAt == 0xFFFFFFFF) {
        return Failure::failed(Zip64);
    }
    if (startDisk != 0)
        return Failure::failed(ManyVolumes);
    if (record.name.isEmpty())
        return Failure::failed(u"la voce %1 dell'indice non ha nome"_s.arg(which));
    return {};
}

// The local header repeats what the directory says; data descriptors leave its sizes and CRC to after
// the data, and then the directory's are the ones that count. Sets record.dataAt.
Failure checkLocalHeader(const QByteArray& b, CentralRecord& record)
{
    const qint64 size = b.size();
    const qint64 localAt = record.localAt;
    if (localAt > size - LocalHeaderSize || u32(b, localAt) != LocalSignature)
        return Failure::failed(
            u"l'intestazione della parte «%1» manca o è fuori dal file"_s.arg(record.name));
    const qint64 localNameLength = u16(b, localAt + 26);
    const qint64 localExtraLength = u16(b, localAt + 28);
    record.dataAt = localAt + LocalHeaderSize + localNameLength + localExtraLength;
    if (record.dataAt > size || size - record.dataAt < record.packedSize)
        return Failure::failed(u"i dati della parte «%1» vanno oltre la fine del file"_s.arg(record.name));
    if (b.mid(localAt + LocalHeaderSize, localNameLength) != record.rawName)
        return Failure::failed(u"l'intestazione della parte «%1» porta un altro nome"_s.arg(record.name));
    const bool sizesAfter = (record.flags & FlagDataDescriptor) != 0;
    if (u16(b, localAt + 8) != record.method ||
        (u16(b, localAt + 6) & FlagEncrypted) != (record.flags & FlagEncrypted) ||
        (!sizesAfter && (u32(b, localAt + 14) != record.crc || u32(b, localAt + 18) != record.packedSize ||
                         u32(b, localAt + 22) != record.unpackedSize))) {
        return Failure::failed(
            u"l'intestazione della parte «%1» non concorda con l'indice"_s.arg(record.name));
    }
    return {};
}

// A stretch of the file that one thing owns.
struct Span {
    qint64 from;
    qint64 to;
    qsizetype entry; // -1 the central directory, -2 the end record
};

// Entries sharing bytes would let a small file unpack many times over. names: the entries', by index.
Failure checkNoOverlap(QList<Span> spans, const QStringList& names)
{
    std::sort(spans.begin(), spans.end(), [](const Span& x, const Span& y) { return x.from < y.from; });
    for (qsizetype i = 1; i < spans.size(); ++i) {
        if (spans[i].from < spans[i - 1].to) {
            const auto label = [&names](const Span& s) {
                if (s.entry < 0)
                    return s.entry == -1 ? u"l'indice"_s : u"il record finale"_s;
                return u"la parte «%1»"_s.arg(names[s.entry]);
            };
            return Failure::failed(u"%1 e %2 si sovrappongono"_s.arg(label(spans[i - 1]), label(spans[i])));
        }
    }
    return {};
}

} // namespace

Failure ZipReader::open(const QByteArray& bytes)
{
    // Nothing of a refused archive stays behind.
    m_bytes.clear();
    m_entries.clear();
    m_index.clear();
    Directory directory;
    if (Failure failure = readDirectoryPlace(bytes, directory))
        return failure;
    QList<Entry> entries;
    QStringList names;
    QHash<QString, qsizetype> index;
    QList<Span> spans;
    if (directory.size > 0)
        spans.append({directory.at, directory.at + directory.size, -1});
    spans.append({directory.endAt, bytes.size(), -2});
    qint64 at = directory.at;
    const qint64 directoryEnd = directory.at + directory.size;
    for (int i = 0; i < directory.count; ++i) {
        CentralRecord record;
        if (Failure failure = readCentralRecord(bytes, at, directoryEnd, QString::number(i + 1), record))
            return failure;
        if (index.contains(record.name))
            return Failure::failed(u"la parte «%1» compare due volte"_s.arg(record.name));
        if (Failure failure = checkLocalHeader(bytes, record))
            return failure;
        index.insert(record.name, entries.size());
        spans.append({record.localAt, record.dataAt + record.packedSize, entries.size()});
        names.append(record.name);
        entries.append({record.name, record.flags, record.method, record.crc, record.packedSize,
                        record.unpackedSize, record.dataAt});
    }
    if (at != directoryEnd)
        return Failure::failed(u"l'indice ha una dimensione diversa da quella dichiarata"_s);
    if (Failure failure = checkNoOverlap(std::move(spans), names))
        return failure;
    m_bytes = bytes;
    m_entries = std::move(entries);
    m_index = std::move(index);
    return {};
}

qint64 ZipReader::unpackedSize(const QString& name) const
{
    const auto found = m_index.constFind(name);
    return found == m_index.constEnd() ? 0 : m_entries[*found].size;
}

QStringList ZipReader::names() const
{
    QStringList out;
    out.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        out.append(entry.name);
    return out;
}

Failure ZipReader::read(const QString& name, QByteArray& out)
{
    out.clear();
    const auto found = m_index.constFind(name);
    if (found == m_index.constEnd())
        return Failure::failed(u"manca"_s);
    const Entry& e = m_entries[*found];
    if (e.flags & FlagEncrypted)
        return Failure::failed(u"non si apre, perché %1"_s.arg(u"è cifrata"_s));
    if (e.method != MethodStored && e.method != MethodDeflated)
        return Failure::failed(
            u"non si apre, perché %1"_s.arg(u"è compressa con un metodo sconosciuto (%1)"_s.arg(e.method)));
    if (e.size > m_budget)
        return Failure::failed(
            u"si decomprime in %1 byte, più di quanti ne restano da leggere"_s.arg(e.size));
    const char* data = m_bytes.constData() + e.dataAt;

    if (e.method == MethodStored) {
        if (e.packedSize != e.size)
            return Failure::failed(u"ha due dimensioni diverse pur non essendo compressa"_s);
        out = QByteArray(data, qsizetype(e.size));
    } else {
        z_stream zs{};
        if (inflateInit2(&zs, -MAX_WBITS) != Z_OK)
            return Failure::failed(u"non si decomprime (memoria insufficiente)"_s);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        zs.avail_in = uInt(e.packedSize);
        // Room for one byte past the declared size, so that a part that holds more shows it.
        qint64 have = 0;
        int rc = Z_OK;
        while (true) {
            if (have == out.size())
                out.resize(qsizetype(have + std::min(Chunk, e.size + 1 - have)));
            zs.next_out = reinterpret_cast<Bytef*>(out.data() + have);
            zs.avail_out = uInt(out.size() - have);
            rc = inflate(&zs, Z_NO_FLUSH);
            have = out.size() - zs.avail_out;
            if (have > e.size || rc != Z_OK)
                break;
        }
        inflateEnd(&zs);
        if (have > e.size) {
            out.clear();
            return Failure::failed(u"si decomprime oltre i %1 byte dichiarati"_s.arg(e.size));
        }
        if (rc != Z_STREAM_END) {
            out.clear();
            return Failure::failed(rc == Z_BUF_ERROR ? u"non si decomprime (dati compressi troncati)"_s
                                                     : u"non si decomprime (dati compressi non validi)"_s);
        }
        if (have != e.size) {
            out.clear();
            return Failure::failed(
                u"si decomprime in %1 byte invece dei %2 dichiarati"_s.arg(have).arg(e.size));
        }
        out.resize(qsizetype(have));
    }
    m_budget -= e.size;
    if (crcOf(out.constData(), out.size()) != e.crc) {
        out.clear();
        return Failure::failed(u"non supera il controllo (CRC)"_s);
    }
    return {};
}

Failure writeZip(const QList<ZipEntry>& entries, QByteArray& out)
{
    out.clear();
    if (entries.size() >= 0xFFFF)
        return Failure::failed(u"troppe parti per un archivio zip"_s);
    QByteArray directory;
    for (const ZipEntry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        const bool ascii = std::all_of(name.begin(), name.end(), [](char c) { return quint8(c) < 0x80; });
        const quint16 flags = ascii ? 0 : FlagUtf8;
        if (name.isEmpty() || name.size() > 0xFFFF || entry.bytes.size() >= 0xFFFFFFFF)
            return Failure::failed(partTooLarge(entry.name));
        QByteArray packed;
        if (!entry.stored && !deflated(entry.bytes, packed))
            return Failure::failed(u"la parte %1 non si comprime"_s.arg(entry.name));
        const QByteArray& data = entry.stored ? entry.bytes : packed;
        const qint64 at = out.size();
        if (at + LocalHeaderSize + name.size() + data.size() >= 0xFFFFFFFF)
            return Failure::failed(partTooLarge(entry.name));
        const quint32 crc = crcOf(entry.bytes.constData(), entry.bytes.size());
        const quint16 method = entry.stored ? MethodStored : MethodDeflated;

        // The fields the local header and the directory's record share, from the version needed on.
        QByteArray common;
        put16(common, entry.stored ? VersionStored : VersionDeflated);
        put16(common, flags);
        put16(common, method);
        put16(common, 0); // midnight
        put16(common, FixedDate);
        put32(common, crc);
        put32(common, quint32(data.size()));
        put32(common, quint32(entry.bytes.size()));
        put16(common, quint16(name.size()));
        put16(common, 0); // no extra field

        put32(out, LocalSignature);
        out.append(common);
        out.append(name);
        out.append(data);

        put32(directory, CentralSignature);
        put16(directory, MadeBy);
        directory.append(common);
        put16(directory, 0); // no comment
        put16(directory, 0); // disk
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, quint32(at));
        directory.append(name);
    }
    const qint64 directoryAt = out.size();
    if (directoryAt + directory.size() >= 0xFFFFFFFF)
        return Failure::failed(u"il foglio di lavoro non sta in un archivio zip"_s);
    out.append(directory);
    put32(out, EndSignature);
    put16(out, 0); // this disk
    put16(out, 0); // the directory's disk
    put16(out, quint16(entries.size()));
    put16(out, quint16(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, quint32(directoryAt));
    put16(out, 0); // no comment
    return {};
}
