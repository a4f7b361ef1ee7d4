// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Zip archives as .xlsx and .ods packages use them, held in memory: entries stored or deflated, no
// encryption, no ZIP64, one volume. The reader treats the bytes as hostile: every offset and length is
// checked against the buffer, every entry's local header against the central directory, entries may
// not overlap, and what a read unpacks is spent from one budget before the memory is taken.
#include "core/Failure.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ZipReader
{
public:
    // budget: the most bytes all reads together may unpack.
    explicit ZipReader(qint64 budget);

    // Reads the archive's directory; a failure when the bytes are not a zip this reader accepts, its
    // text an Italian clause ("l'indice va oltre la fine del file").
    Failure open(const QByteArray& bytes);
    // The entries' names, in the order of the central directory.
    QStringList names() const;
    bool contains(const QString& name) const { return m_index.contains(name); }
    // The entry's bytes, spending their size from the budget; out is left empty on a failure, whose
    // text is a clause saying what the entry does ("manca", "non si apre, perché è cifrata", "si
    // decomprime oltre i 10 byte dichiarati", "non supera il controllo (CRC)"). A failed read spends
    // nothing, but an entry whose bytes were unpacked before its checksum failed.
    Failure read(const QString& name, QByteArray& out);
    qint64 budgetLeft() const { return m_budget; }
    // The size the entry says it unpacks to (0 for none of that name): more than budgetLeft() is
    // refused by read() before anything is unpacked.
    qint64 unpackedSize(const QString& name) const;

private:
    struct Entry {
        QString name;
        quint16 flags;
        quint16 method;
        quint32 crc;
        qint64 packedSize;
        qint64 size;
        qint64 dataAt; // where the entry's data start, past its local header
    };

    QByteArray m_bytes;
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index;
    qint64 m_budget;
};

struct ZipEntry {
    QString name;
    QByteArray bytes;
    bool stored = false; // uncompressed (the .ods mimetype); otherwise deflated at level 6
};

// A zip of the entries in their order, each dated 2026-01-01 00:00 so that the same sheet makes the
// same file. A failure, its text a clause, when an entry or the whole does not fit a zip without ZIP64.
Failure writeZip(const QList<ZipEntry>& entries, QByteArray& out);
