// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/archive/SlipRecord.h"

#include <QList>
#include <QString>
#include <QStringView>

class StoredDateReader;

// The filter of the archive list. A record matches when every word of the query occurs in one of its
// values: every field of the slip, and its date as the list shows it (dd/mm/yyyy), as stored and
// written out in Italian ("7 dicembre 2026"), whatever the letter case and accents ("forli" finds
// "Forlì", "marzo" a slip saved as "05 March 2026"). The records' texts are folded once, when the
// search is built, into one buffer of one byte a character (the archive's code page), so a keystroke
// costs one scan of that buffer; a query that only narrows the previous one (a letter typed at the
// end, say) looks only at the records the previous one found. Each record also has a signature of
// 256 bits, the letters and digits it holds and a hash of its pairs of adjacent characters: a
// keystroke first reads the signatures (32 bytes a record) and looks into the texts only of the
// records whose signature holds every letter and pair of the query's words.
class ArchiveSearch
{
public:
    ArchiveSearch() = default;
    ArchiveSearch(const ArchiveTable& table, const StoredDateReader& dates);

    qsizetype size() const { return m_starts.size(); }

    // Indices of the matching records, in file order; every index for an empty query.
    QList<qsizetype> matching(QStringView query) const;

    // Lower case without accents, as the search compares texts.
    static QString fold(QStringView text);

private:
    struct Signature {
        quint64 bits[4] = {};
    };
    static void addToSignature(QByteArrayView text, Signature& signature);
    // Records whose signature holds query, the ones that may match; exact says no text is to be
    // read, the query being single letters or digits that the signature holds exactly.
    template <typename Visit>
    void forCandidates(const Signature& query, qsizetype count, const qsizetype* records, Visit visit) const;
    QList<qsizetype> scan(const QList<QByteArray>& words, const QList<qsizetype>* among) const;
    bool recordHasAll(qsizetype record, const QList<QByteArray>& words) const;

    QByteArray m_keys;             // the folded texts, records separated by '\n'
    QList<qsizetype> m_starts;     // where each record's texts begin in m_keys
    QList<Signature> m_signatures; // by record
    // The last query's folded words and what it found, for the next keystroke.
    mutable QList<QByteArray> m_lastWords;
    mutable QList<qsizetype> m_lastFound;
};
