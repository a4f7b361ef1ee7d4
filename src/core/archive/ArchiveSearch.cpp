#include "core/archive/ArchiveSearch.h"

#include "core/archive/Windows1252.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/Windows1252.h"

#include <QHash>

#include <algorithm>
#include <array>

namespace {

// Separates a record's texts from each other, so that no word of a query spans two of them.
constexpr char16_t TextSeparator = u'\x1f';
constexpr char16_t RecordSeparator = u'\n';

// Latin-1 letters with accents, 0xC0-0xFF, to their letter without accent in lower case (0 = as is).
constexpr char16_t Latin1Folds[64] = {
    u'a', u'a', u'a', u'a', u'a', u'a', 0,    u'c', u'e', u'e', u'e', u'e', u'i', u'i', u'i', u'i', // C0
    0,    u'n', u'o', u'o', u'o', u'o', u'o', 0,    0,    u'u', u'u', u'u', u'u', u'y', 0,    0,    // D0
    u'a', u'a', u'a', u'a', u'a', u'a', 0,    u'c', u'e', u'e', u'e', u'e', u'i', u'i', u'i', u'i', // E0
    0,    u'n', u'o', u'o', u'o', u'o', u'o', 0,    0,    u'u', u'u', u'u', u'u', u'y', 0,    u'y', // F0
};

void appendFolded(QStringView text, QString& out)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out += (u >= u'A' && u <= u'Z') ? QChar(u + 32) : c;
        } else if (u >= 0xC0 && u <= 0xFF && Latin1Folds[u - 0xC0]) {
            out += QChar(Latin1Folds[u - 0xC0]);
        } else if (u < 0x100 || !c.isLetter()) {
            out += c.toLower();
        } else {
            // Rarer letters: drop the accents their decomposition shows.
            const QString decomposed = c.decomposition();
            if (!decomposed.isEmpty() && c.decompositionTag() == QChar::Canonical)
                out += decomposed.front().toLower();
            else
                out += c.toLower();
        }
    }
}

// Every byte of the archive's code page, decoded and folded: one character each.
const std::array<char16_t, 256>& foldedBytes()
{
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> folded{};
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            QString one;
            appendFolded(decodeWindows1252(QByteArrayView(&raw, 1)), one);
            folded[byte] = one.size() == 1 ? one.front().unicode() : u'?';
        }
        return folded;
    }();
    return table;
}

void appendFoldedBytes(QByteArrayView bytes, QString& out)
{
    const std::array<char16_t, 256>& table = foldedBytes();
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    char16_t* to = reinterpret_cast<char16_t*>(out.data()) + start;
    for (const char byte : bytes)
        *to++ = table[uchar(byte)];
}

} // namespace

ArchiveSearch::ArchiveSearch(const ArchiveTable& table, const StoredDateReader& dates)
{
    m_starts.reserve(table.size());
    m_keys.reserve(table.size() * 96);
    static constexpr int Columns[] = {FirstFieldColumn + PayerName, FirstFieldColumn + PayeeLine1,
                                      FirstFieldColumn + PayeeLine2, FirstFieldColumn + PayeeLine3,
                                      FirstFieldColumn + Amount};
    // Saves of one day share their date: each stored date is read once.
    QHash<QByteArray, QString> listDates;
    for (const SlipRecord& record : table) {
        m_starts.append(m_keys.size());
        // One pass over the record for all its values.
        const auto values = record.columnViews();
        for (int column : Columns) {
            appendFoldedBytes(values[column], m_keys);
            m_keys += TextSeparator;
        }
        const QByteArray stored = values[DateColumn].toByteArray();
        auto date = listDates.constFind(stored);
        if (date == listDates.constEnd())
            date = listDates.insert(stored, fold(dates.listText(decodeWindows1252(stored))));
        m_keys += *date;
        m_keys += RecordSeparator;
    }
}

QString ArchiveSearch::fold(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendFolded(text, out);
    return out;
}

QList<qsizetype> ArchiveSearch::matching(QStringView query) const
{
    // The words of the query, longest first: the longest is the rarest, so it is the one scanned for.
    QList<QString> words;
    for (const QStringView word : fold(query).tokenize(u' ', Qt::SkipEmptyParts)) {
        if (!word.contains(TextSeparator) && !word.contains(RecordSeparator))
            words.append(word.toString());
    }
    QList<qsizetype> result;
    if (words.isEmpty()) {
        result.reserve(m_starts.size());
        for (qsizetype i = 0; i < m_starts.size(); ++i)
            result.append(i);
        return result;
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });

    const QStringView keys(m_keys);
    qsizetype from = 0;
    for (;;) {
        const qsizetype hit = keys.indexOf(words.front(), from);
        if (hit < 0)
            break;
        const qsizetype record =
            std::upper_bound(m_starts.cbegin(), m_starts.cend(), hit) - m_starts.cbegin() - 1;
        const qsizetype begin = m_starts[record];
        const qsizetype end = record + 1 < m_starts.size() ? m_starts[record + 1] : keys.size();
        const QStringView key = keys.sliced(begin, end - begin);
        bool all = true;
        for (qsizetype w = 1; w < words.size() && all; ++w)
            all = key.contains(words[w]);
        if (all)
            result.append(record);
        from = end;
    }
    return result;
}
