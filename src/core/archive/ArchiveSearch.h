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
// end, say) looks only at the records the previous one found.
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
    QList<qsizetype> scan(const QList<QByteArray>& words) const;
    bool recordHasAll(qsizetype record, const QList<QByteArray>& words) const;

    QByteArray m_keys;         // the folded texts, records separated by '\n'
    QList<qsizetype> m_starts; // where each record's texts begin in m_keys
    // The last query's folded words and what it found, for the next keystroke.
    mutable QList<QByteArray> m_lastWords;
    mutable QList<qsizetype> m_lastFound;
};
