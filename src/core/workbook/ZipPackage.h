// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Zip archives as .xlsx and .ods packages use them, held in memory: entries stored or deflated, no
// encryption, no ZIP64, one volume. The reader treats the bytes as hostile: every offset and length is
// checked against the buffer, every entry's local header against the central directory, entries may
// not overlap, and what a read unpacks is spent from one budget before the memory is taken.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class ZipReader
{
public:
    enum class Problem {
        None,
        Missing,     // no entry of that name
        Unsupported, // encrypted, or packed by a method other than stored and deflate
        Damaged,     // the data do not unpack to the declared size
        Checksum,    // unpacked, but the CRC-32 differs
        OverBudget,  // more than the budget still left
    };

    // budget: the most bytes all reads together may unpack.
    explicit ZipReader(qint64 budget);

    // Reads the archive's directory; false with the reason when the bytes are not a zip this reader
    // accepts. Reasons are Italian clauses in lower case ("l'indice va oltre la fine del file").
    bool open(const QByteArray& bytes, QString& reason);
    // The entries' names, in the order of the central directory.
    QStringList names() const;
    bool contains(const QString& name) const { return m_index.contains(name); }
    // The entry's bytes, spending their size from the budget. For Unsupported and Damaged the reason
    // says what the entry does ("è cifrata", "si decomprime oltre i 10 byte dichiarati").
    Problem read(const QString& name, QByteArray& out, QString& reason);
    qint64 budgetLeft() const { return m_budget; }

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
// same file. False with the reason when an entry or the whole does not fit a zip without ZIP64.
bool writeZip(const QList<ZipEntry>& entries, QByteArray& out, QString& reason);
