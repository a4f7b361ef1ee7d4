// SPDX-License-Identifier: GPL-3.0-or-later

// The test packages where QuaZip is not at hand (the Windows build): each part compressed by zlib's
// own deflate, or stored, behind headers written here from the zip format's description, byte by byte.
#include "WorkbookParts.h"

#include <zlib.h>

namespace {

void put(QByteArray& out, quint32 value, int width)
{
    for (int i = 0; i < width; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

QByteArray deflated(const QByteArray& bytes)
{
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        qFatal("deflateInit2");
    QByteArray out(qsizetype(deflateBound(&stream, uLong(bytes.size()))), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.constData()));
    stream.avail_in = uInt(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    if (deflate(&stream, Z_FINISH) != Z_STREAM_END)
        qFatal("deflate");
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

} // namespace

// A zip of the given parts, in memory.
QByteArray zipOf(const QList<Part>& parts)
{
    QByteArray zip;
    QByteArray directory;
    for (const Part& part : parts) {
        const QByteArray name = part.name.toUtf8();
        const QByteArray data = part.stored ? part.bytes : deflated(part.bytes);
        const quint32 crc = quint32(
            crc32(0, reinterpret_cast<const Bytef*>(part.bytes.constData()), uInt(part.bytes.size())));
        // What the local header and the central record share, from "version needed" to the name's length.
        QByteArray common;
        put(common, 20, 2);                  // version needed: 2.0
        put(common, 0, 2);                   // flags
        put(common, part.stored ? 0 : 8, 2); // method: stored or deflated
        put(common, 0, 2);                   // time
        put(common, 0x21, 2);                // date: 1 January 1980
        put(common, crc, 4);
        put(common, quint32(data.size()), 4);
        put(common, quint32(part.bytes.size()), 4);
        put(common, quint32(name.size()), 2);
        put(common, 0, 2); // extra field's length

        const quint32 offset = quint32(zip.size());
        put(zip, 0x04034b50, 4);
        zip += common + name + data;

        put(directory, 0x02014b50, 4);
        put(directory, 20, 2); // version made by
        directory += common;
        put(directory, 0, 2); // comment's length
        put(directory, 0, 2); // disk
        put(directory, 0, 2); // internal attributes
        put(directory, 0, 4); // external attributes
        put(directory, offset, 4);
        directory += name;
    }
    const quint32 directoryAt = quint32(zip.size());
    zip += directory;
    put(zip, 0x06054b50, 4);
    put(zip, 0, 2); // this disk
    put(zip, 0, 2); // the directory's disk
    put(zip, quint32(parts.size()), 2);
    put(zip, quint32(parts.size()), 2);
    put(zip, quint32(directory.size()), 4);
    put(zip, directoryAt, 4);
    put(zip, 0, 2); // comment's length
    return zip;
}
