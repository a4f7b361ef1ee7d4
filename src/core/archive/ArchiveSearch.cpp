// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchiveSearch.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/Windows1252.h"

#include <QHash>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

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

// Every byte of the archive's code page, decoded and folded, as one byte: the folded letter when it is
// Latin-1, else the byte itself (the euro sign, say, which folds to nothing else).
const std::array<char, 256>& foldedBytes()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> folded{};
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            QString one;
            appendFolded(decodeWindows1252(QByteArrayView(&raw, 1)), one);
            folded[byte] =
                one.size() == 1 && one.front().unicode() < 0x100 ? char(one.front().unicode()) : raw;
        }
        return folded;
    }();
    return table;
}

void appendFoldedBytes(QByteArrayView bytes, QByteArray& out)
{
    const std::array<char, 256>& table = foldedBytes();
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    char* to = out.data() + start;
    for (const char byte : bytes)
        *to++ = table[uchar(byte)];
}

// A folded text in the index's bytes; none when it holds a character the archive cannot store, which
// then no record holds.
std::optional<QByteArray> indexBytes(QStringView folded)
{
    QByteArray encoded;
    qsizetype unencodable = -1;
    if (!encodeWindows1252(folded, encoded, unencodable))
        return std::nullopt;
    QByteArray out;
    appendFoldedBytes(encoded, out);
    return out;
}

// Each word of the earlier query occurs in a word of the later one: what the later one finds, the
// earlier one found.
bool narrows(const QList<QByteArray>& later, const QList<QByteArray>& earlier)
{
    if (earlier.isEmpty())
        return false;
    for (const QByteArray& before : earlier) {
        if (std::none_of(later.cbegin(), later.cend(),
                         [&before](const QByteArray& word) { return word.contains(before); }))
            return false;
    }
    return true;
}

} // namespace

ArchiveSearch::ArchiveSearch(const ArchiveTable& table, const StoredDateReader& dates)
{
    m_starts.reserve(table.size());
    m_signatures.reserve(table.size());
    m_keys.reserve(table.size() * 160);
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    // Saves of one day share their date: each stored date is read once.
    QHash<QByteArray, QByteArray> dateKeys;
    for (const SlipRecord& record : table) {
        m_starts.append(m_keys.size());
        // One pass over the record for all its values.
        const auto values = record.columnViews();
        for (int field = 0; field < SlipFieldCount; ++field) {
            appendFoldedBytes(values[FirstFieldColumn + field], m_keys);
            m_keys += char(TextSeparator);
        }
        const QByteArray stored = values[DateColumn].toByteArray();
        auto date = dateKeys.constFind(stored);
        if (date == dateKeys.constEnd()) {
            const QString text = decodeWindows1252(stored);
            QStringList forms{dates.listText(text), text};
            if (const std::optional<QDate> day = dates.read(text))
                forms.append(italian.toString(*day, u"d MMMM yyyy"_s));
            QByteArray key;
            for (const QString& form : forms) {
                if (const std::optional<QByteArray> bytes = indexBytes(fold(form)))
                    key += *bytes + char(TextSeparator);
            }
            date = dateKeys.insert(stored, key);
        }
        m_keys += *date;
        Signature signature;
        addToSignature(QByteArrayView(m_keys).sliced(m_starts.back()), signature);
        m_signatures.append(signature);
        m_keys += char(RecordSeparator);
    }
}

namespace {

// The signature's first 64 bits: one for each letter a-z and digit 0-9, exact, and the other bytes
// hashed into the remaining 28; the last 192 bits: pairs of adjacent bytes, hashed.
constexpr int CharacterBits = 64;
constexpr int ExactCharacters = 36;
constexpr int PairBits = 192;

bool isSeparator(uchar byte)
{
    return byte == uchar(TextSeparator) || byte == uchar(RecordSeparator);
}

std::optional<int> exactCharacterBit(uchar byte)
{
    if (byte >= 'a' && byte <= 'z')
        return byte - 'a';
    if (byte >= '0' && byte <= '9')
        return 26 + (byte - '0');
    return std::nullopt;
}

int characterBit(uchar byte)
{
    if (const std::optional<int> exact = exactCharacterBit(byte))
        return *exact;
    return ExactCharacters + byte % (CharacterBits - ExactCharacters);
}

int pairBit(uchar first, uchar second)
{
    // A multiplicative hash of the pair, taken into 0..PairBits-1 by a multiplication, not a division.
    const quint32 mixed = (((quint32(first) << 8) | second) * 2654435761u) >> 16;
    return CharacterBits + int((mixed * quint32(PairBits)) >> 16);
}

// characterBit() for every byte, and whether the byte separates texts (-1).
const std::array<qint8, 256>& characterBits()
{
    static const std::array<qint8, 256> table = [] {
        std::array<qint8, 256> bits{};
        for (int byte = 0; byte < 256; ++byte)
            bits[byte] = qint8(isSeparator(uchar(byte)) ? -1 : characterBit(uchar(byte)));
        return bits;
    }();
    return table;
}

} // namespace

void ArchiveSearch::addToSignature(QByteArrayView text, Signature& signature)
{
    const std::array<qint8, 256>& bits = characterBits();
    const auto set = [&signature](int bit) { signature.bits[bit >> 6] |= quint64(1) << (bit & 63); };
    uchar previous = uchar(RecordSeparator);
    for (const char c : text) {
        const uchar byte = uchar(c);
        if (bits[byte] >= 0) {
            set(bits[byte]);
            if (bits[previous] >= 0)
                set(pairBit(previous, byte));
        }
        previous = byte;
    }
}

QString ArchiveSearch::fold(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendFolded(text, out);
    return out;
}

namespace {

// Whether word occurs in text, a record's few hundred bytes: the first byte looked for with memchr
// and the rest compared, which on texts this short beats memmem's set-up for each call.
bool occursIn(QByteArrayView text, QByteArrayView word)
{
    const qsizetype n = word.size();
    if (n == 0)
        return true;
    if (n > text.size())
        return false;
    const char* at = text.data();
    const char* const last = text.data() + (text.size() - n);
    const char first = word.front();
    while (at <= last) {
        const void* hit = std::memchr(at, first, size_t(last - at + 1));
        if (!hit)
            return false;
        at = static_cast<const char*>(hit);
        if (std::memcmp(at + 1, word.data() + 1, size_t(n - 1)) == 0)
            return true;
        ++at;
    }
    return false;
}

} // namespace

bool ArchiveSearch::recordHasAll(qsizetype record, const QList<QByteArray>& words) const
{
    const qsizetype begin = m_starts[record];
    const qsizetype end = record + 1 < m_starts.size() ? m_starts[record + 1] : m_keys.size();
    const QByteArrayView key = QByteArrayView(m_keys).sliced(begin, end - begin);
    return std::all_of(words.cbegin(), words.cend(),
                       [&key](const QByteArray& word) { return occursIn(key, word); });
}

template <typename Visit>
void ArchiveSearch::forCandidates(const Signature& query, qsizetype count, const qsizetype* records,
                                  Visit visit) const
{
    const Signature* signatures = m_signatures.constData();
    const qsizetype* starts = m_starts.constData();
    const char* keys = m_keys.constData();
    // The records an earlier query found lie far apart in the texts: their texts are asked for a few
    // records ahead, so that the memory is there when they are checked.
    constexpr qsizetype Ahead = 8;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype record = records ? records[i] : i;
        if (records && i + Ahead < count)
            __builtin_prefetch(keys + starts[records[i + Ahead]]);
        const quint64* bits = signatures[record].bits;
        if ((bits[0] & query.bits[0]) == query.bits[0] && (bits[1] & query.bits[1]) == query.bits[1] &&
            (bits[2] & query.bits[2]) == query.bits[2] && (bits[3] & query.bits[3]) == query.bits[3])
            visit(record);
    }
}

QList<qsizetype> ArchiveSearch::scan(const QList<QByteArray>& words, const QList<qsizetype>* among) const
{
    Signature query;
    bool exact = true;
    for (const QByteArray& word : words) {
        addToSignature(word, query);
        exact = exact && word.size() == 1 && exactCharacterBit(uchar(word.front()));
    }
    QList<qsizetype> result;
    const qsizetype count = among ? among->size() : m_starts.size();
    const qsizetype* records = among ? among->constData() : nullptr;
    if (exact) {
        forCandidates(query, count, records, [&result](qsizetype record) { result.append(record); });
    } else {
        forCandidates(query, count, records, [&](qsizetype record) {
            if (recordHasAll(record, words))
                result.append(record);
        });
    }
    return result;
}

QList<qsizetype> ArchiveSearch::matching(QStringView query) const
{
    // The words of the query, longest first: the longest is the rarest, so it is the one scanned for.
    QList<QByteArray> words;
    bool impossible = false;
    for (const QStringView word : fold(query).tokenize(u' ', Qt::SkipEmptyParts)) {
        if (word.contains(TextSeparator) || word.contains(RecordSeparator))
            continue;
        if (const std::optional<QByteArray> bytes = indexBytes(word))
            words.append(*bytes);
        else
            impossible = true;
    }
    QList<qsizetype> result;
    if (impossible) {
        m_lastWords.clear();
        return result;
    }
    if (words.isEmpty()) {
        m_lastWords.clear();
        result.reserve(m_starts.size());
        for (qsizetype i = 0; i < m_starts.size(); ++i)
            result.append(i);
        return result;
    }
    std::stable_sort(words.begin(), words.end(),
                     [](const QByteArray& a, const QByteArray& b) { return a.size() > b.size(); });
    result = scan(words, narrows(words, m_lastWords) ? &m_lastFound : nullptr);
    m_lastWords = words;
    m_lastFound = result;
    return result;
}
