#pragma once

#include "core/archive/SlipRecord.h"

#include <QList>
#include <QString>
#include <QStringView>

class StoredDateReader;

// The filter of the archive list. A record matches when every word of the query occurs in its
// payer's name, its payee's three lines, its amount or its date as the list shows it (dd/mm/yyyy),
// whatever the letter case and accents ("citta" finds "Città"). The records' texts are folded once,
// when the search is built, into one buffer, so a keystroke costs one scan of that buffer.
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
    QString m_keys;            // the folded texts, records separated by '\n'
    QList<qsizetype> m_starts; // where each record's texts begin in m_keys
};
