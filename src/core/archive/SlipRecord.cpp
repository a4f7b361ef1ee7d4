// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipRecord.h"

#include "core/slip/SlipText.h"

#include "core/archive/Windows1252.h"

#include <QLocale>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Splits bytes into lines ending at CR LF, CR CR LF, a lone CR or a lone LF; a last line without an end
// counts. The CR and LF bytes are found sixteen at a time (SSE2) or eight at a time, as a mask whose set
// bits are taken one by one, so a short line costs a few instructions.
class LineReader
{
public:
    explicit LineReader(QByteArrayView bytes)
        : m_begin(bytes.data()), m_data(bytes.data()), m_end(bytes.data() + bytes.size()), m_block(m_begin)
    {
        loadBlock();
    }

    bool atEnd() const { return m_data == m_end; }
    qsizetype position() const { return m_data - m_begin; }

    // Moves the end further on: the bytes up to newEnd may now be read (the reader stood at its end).
    void extendTo(const char* newEnd)
    {
        m_end = newEnd;
        seek(m_data);
    }

    // Goes on from position, a line start at or before the end.
    void seek(const char* position)
    {
        m_data = position;
        m_block = position;
        loadBlock();
    }
    const char* current() const { return m_data; }
    const char* end() const { return m_end; }

    QByteArrayView next()
    {
        const char* start = m_data;
        const char* p = nextLineByte();
        const QByteArrayView line(start, p - start);
        if (p != m_end) {
            // CR CR LF, left by a file converted twice, is one line end like CR LF.
            if (*p == '\r' && m_end - p >= 2 && p[1] == '\n')
                ++p;
            else if (*p == '\r' && m_end - p >= 3 && p[1] == '\r' && p[2] == '\n')
                p += 2;
            ++p;
        }
        m_data = p;
        return line;
    }

private:
#if defined(__SSE2__)
    static constexpr qsizetype Block = 16;
#else
    static constexpr qsizetype Block = 8;
#endif

    // The mask of CR and LF bytes of the block at m_block (bit i: byte i), only bytes before m_end.
    void loadBlock()
    {
        const qsizetype left = m_end - m_block;
        if (left <= 0) {
            m_mask = 0;
            return;
        }
        if (left >= Block) {
#if defined(__SSE2__)
            const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_block));
            const __m128i hits = _mm_or_si128(_mm_cmpeq_epi8(chunk, _mm_set1_epi8('\r')),
                                              _mm_cmpeq_epi8(chunk, _mm_set1_epi8('\n')));
            m_mask = quint32(_mm_movemask_epi8(hits));
#else
            m_mask = 0;
            for (qsizetype i = 0; i < Block; ++i) {
                if (m_block[i] == '\r' || m_block[i] == '\n')
                    m_mask |= 1u << i;
            }
#endif
            return;
        }
        m_mask = 0;
        for (qsizetype i = 0; i < left; ++i) {
            if (m_block[i] == '\r' || m_block[i] == '\n')
                m_mask |= 1u << i;
        }
    }

    // The first CR or LF at or after m_data, or m_end.
    const char* nextLineByte()
    {
        for (;;) {
            while (m_mask) {
                const char* hit = m_block + std::countr_zero(m_mask);
                if (hit >= m_data)
                    return hit;
                m_mask &= m_mask - 1; // a line end already taken with the line before
            }
            m_block += Block;
            if (m_block >= m_end)
                return m_end;
            loadBlock();
        }
    }

    const char* m_begin;
    const char* m_data;
    const char* m_end;
    const char* m_block; // start of the block whose mask is m_mask
    quint32 m_mask = 0;
};

// The CR and the LF bytes among the count bytes at data (at most 64), as masks (bit i: byte i).
inline void lineBytes(const char* data, qsizetype count, quint64& cr, quint64& lf)
{
#if defined(__SSE2__)
    if (count == 64) {
        const __m128i crs = _mm_set1_epi8('\r');
        const __m128i lfs = _mm_set1_epi8('\n');
        const auto load = [data](int part) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * part));
        };
        const auto mask = [](__m128i bytes, __m128i wanted, int part) {
            return quint64(quint32(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)))) << (16 * part);
        };
        const __m128i b0 = load(0);
        const __m128i b1 = load(1);
        const __m128i b2 = load(2);
        const __m128i b3 = load(3);
        cr = mask(b0, crs, 0) | mask(b1, crs, 1) | mask(b2, crs, 2) | mask(b3, crs, 3);
        lf = mask(b0, lfs, 0) | mask(b1, lfs, 1) | mask(b2, lfs, 2) | mask(b3, lfs, 3);
        return;
    }
#endif
    cr = 0;
    lf = 0;
    for (qsizetype i = 0; i < count; ++i) {
        cr |= quint64(data[i] == '\r') << i;
        lf |= quint64(data[i] == '\n') << i;
    }
}

// The set bits of x, counted without the processor's own instruction, which the build may not assume.
inline int bitCount(quint64 x)
{
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int((x * 0x0101010101010101u) >> 56);
}

// The CRs that end a line by themselves: followed neither by LF nor by CR LF.
inline quint64 loneCr(quint64 cr, quint64 lfNext, quint64 crNext, quint64 lfAfterNext)
{
    return cr & ~lfNext & ~(crNext & lfAfterNext);
}

// Skips lines from data, a line start, until count line ends are passed or end is reached; count is left
// with the line ends still to pass. Gives where it stopped: just after the last line end passed, or end.
// The line ends are those of LineReader, found 64 bytes at a time: a line ends at each LF (alone or
// after CR or CR CR) and at each CR followed by neither LF nor CR LF.
const char* skipLines(const char* data, const char* end, int& count)
{
    constexpr qsizetype Block = 64;
    while (count > 0 && data < end) {
        const qsizetype size = qMin(Block, end - data);
        quint64 cr = 0;
        quint64 lf = 0;
        lineBytes(data, size, cr, lf);
        // What the next byte and the one after it are, for each byte; beyond the end of the data, neither.
        quint64 lfNext = lf >> 1;
        quint64 crNext = cr >> 1;
        quint64 lfAfterNext = lf >> 2;
        if (size == Block && (cr >> (Block - 2)) != 0) {
            // A CR among the last two bytes: the two bytes beyond the block decide whether it ends a line.
            const bool lf0 = end - data > Block && data[Block] == '\n';
            const bool cr0 = end - data > Block && data[Block] == '\r';
            const bool lf1 = end - data > Block + 1 && data[Block + 1] == '\n';
            lfNext |= quint64(lf0) << (Block - 1);
            crNext |= quint64(cr0) << (Block - 1);
            lfAfterNext |= quint64(lf0) << (Block - 2) | quint64(lf1) << (Block - 1);
        }
        quint64 ends = lf | loneCr(cr, lfNext, crNext, lfAfterNext);
        const int found = bitCount(ends);
        if (found < count) {
            count -= found;
            data += size;
            continue;
        }
        for (; count > 1; --count)
            ends &= ends - 1;
        count = 0;
        return data + std::countr_zero(ends) + 1;
    }
    return data;
}

// Whether the line is the marker that opens a record: its length first, then its bytes, compared inline
// (every record's first line is asked).
inline bool isMarker(QByteArrayView line)
{
    return line.size() == RecordMarker.size() &&
           std::memcmp(line.data(), RecordMarker.data(), size_t(RecordMarker.size())) == 0;
}

QByteArrayView trimSpaceBytes(QByteArrayView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line[begin] == ' ')
        ++begin;
    while (end > begin && line[end - 1] == ' ')
        --end;
    return line.sliced(begin, end - begin);
}

// Appends text and CR LF to out, or reports the first character that cannot be stored.
bool appendLine(QStringView text, int column, QByteArray& out, UnstorableCharacter& problem)
{
    qsizetype bad = text.indexOf(u'\r');
    const qsizetype lf = text.indexOf(u'\n');
    if (bad < 0 || (lf >= 0 && lf < bad))
        bad = lf;
    if (bad < 0) {
        const qsizetype before = out.size();
        if (encodeWindows1252(text, out, bad)) {
            out.append("\r\n");
            return true;
        }
        out.truncate(before);
    }
    problem = characterAt(text, bad, column);
    return false;
}

} // namespace

class ArchiveStreamReader::Lines : public LineReader
{
public:
    using LineReader::LineReader;
};

ArchiveStreamReader::ArchiveStreamReader(const QByteArray& bytes)
    : m_bytes(bytes), m_lines(std::make_unique<Lines>(QByteArrayView(bytes.constData(), 0)))
{
    // A saved record takes about 200 bytes: room for more than enough records costs only address space
    // (pages never written are never given memory), and moving a million records to grow costs much.
    m_table.reserve(bytes.size() / 128 + 16);
}

ArchiveStreamReader::~ArchiveStreamReader() = default;

void ArchiveStreamReader::advance(qsizetype filled)
{
    // A line end that a later byte may still lengthen (CR, then CR LF?) is never read early: reading
    // stops after the last LF, which always ends a line whatever follows it.
    filled = qMin(filled, m_bytes.size());
    if (filled <= m_safe)
        return;
    // The last LF is a few dozen bytes from the end: searching backwards costs next to nothing.
    const qsizetype lf = QByteArrayView(m_bytes.constData() + m_safe, filled - m_safe).lastIndexOf('\n');
    if (lf < 0)
        return;
    m_safe += lf + 1;
    m_lines->extendTo(m_bytes.constData() + m_safe);
    readLines();
}

ArchiveTable ArchiveStreamReader::finish()
{
    m_safe = m_bytes.size();
    m_lines->extendTo(m_bytes.constData() + m_safe);
    readLines();
    return std::move(m_table);
}

void ArchiveStreamReader::readLines()
{
    while (!m_lines->atEnd()) {
        if (m_valuesLeft > 0) {
            // The 16 value lines after a marker, whatever they hold: only their ends matter here.
            m_lines->seek(skipLines(m_lines->current(), m_lines->end(), m_valuesLeft));
            continue;
        }
        if (isMarker(m_lines->next())) {
            SlipRecord& record = m_table.emplace_back();
            record.m_bytes = m_bytes;
            record.m_base = m_lines->position();
            m_valuesLeft = RecordColumnCount;
        }
    }
}

ArchivePieceReader::ArchivePieceReader(Visitor visit) : m_visit(std::move(visit))
{
}

char* ArchivePieceReader::room(qsizetype size)
{
    const qsizetype kept = m_filled - m_start;
    // A visitor that kept a record shares the buffer, which the record keeps as it is: only the bytes still
    // needed go to a new one (writing into the shared one would first copy all of it). Otherwise those
    // bytes move to the front when the room at the end is short, and the buffer grows only when they and
    // the new piece do not fit in it.
    const bool shared = !m_buffer.isDetached();
    if (shared || m_buffer.capacity() - m_filled < size) {
        const qsizetype wanted = kept + size;
        if (shared || m_buffer.capacity() < wanted) {
            QByteArray fresh;
            fresh.reserve(qMax(wanted, shared ? m_buffer.capacity() : 2 * m_buffer.capacity()));
            fresh.append(m_buffer.constData() + m_start, kept);
            m_buffer = std::move(fresh);
        } else {
            std::memmove(m_buffer.data(), m_buffer.constData() + m_start, size_t(kept));
            m_buffer.truncate(kept);
        }
        m_scan -= m_start;
        if (m_base >= 0)
            m_base -= m_start;
        m_filled = kept;
        m_start = 0;
    }
    m_buffer.resize(m_filled + size);
    return m_buffer.data() + m_filled;
}

void ArchivePieceReader::added(qsizetype got)
{
    m_filled += qMax<qsizetype>(got, 0);
    m_buffer.truncate(m_filled);
    cut(false);
}

void ArchivePieceReader::add(QByteArrayView bytes)
{
    if (!bytes.isEmpty())
        std::memcpy(room(bytes.size()), bytes.data(), size_t(bytes.size()));
    added(bytes.size());
}

void ArchivePieceReader::finish()
{
    m_buffer.truncate(m_filled);
    cut(true);
}

void ArchivePieceReader::cut(bool atEnd)
{
    // As in ArchiveStreamReader, a line end that the next piece may still lengthen (CR, then CR LF?) is
    // never read early: before the end, cutting stops after the last LF.
    qsizetype limit = m_filled;
    if (!atEnd) {
        const qsizetype lf =
            QByteArrayView(m_buffer.constData() + m_scan, m_filled - m_scan).lastIndexOf('\n');
        if (lf < 0)
            return;
        limit = m_scan + lf + 1;
    }
    const char* const data = m_buffer.constData();
    m_record.m_bytes = m_buffer;
    const auto visit = [this](qsizetype base) {
        m_record.m_base = base;
        m_visit(m_record);
    };
    LineReader lines(QByteArrayView(data, limit));
    lines.seek(data + m_scan);
    while (!lines.atEnd()) {
        if (m_valuesLeft > 0) {
            lines.seek(skipLines(lines.current(), lines.end(), m_valuesLeft));
            if (m_valuesLeft == 0) {
                visit(m_base);
                m_base = -1;
            }
            continue;
        }
        if (isMarker(lines.next())) {
            m_base = lines.position();
            m_valuesLeft = RecordColumnCount;
        }
    }
    m_scan = lines.position();
    if (atEnd && m_base >= 0) {
        // Cut short by the end of the data: its missing lines read as empty values.
        visit(m_base);
        m_base = -1;
        m_valuesLeft = 0;
    }
    m_start = m_base >= 0 ? m_base : m_scan;
    // The buffer is this reader's alone again, unless the visitor kept a record.
    m_record.m_bytes = QByteArray();
}

std::optional<SlipRecord> SlipRecord::fromColumns(const QStringList& columns)
{
    QByteArray bytes;
    for (int column = 0; column < RecordColumnCount; ++column) {
        const QString text = columns.value(column);
        qsizetype unencodable = 0;
        if (text.contains(u'\r') || text.contains(u'\n') || !encodeWindows1252(text, bytes, unencodable))
            return std::nullopt;
        bytes.append('\n');
    }
    SlipRecord record;
    record.m_bytes = bytes;
    record.m_exact = true;
    return record;
}

QByteArrayView SlipRecord::columnBytes(int index) const
{
    LineReader lines(QByteArrayView(m_bytes).sliced(m_base));
    for (int value = 0; value < index && !lines.atEnd(); ++value)
        lines.next();
    if (lines.atEnd())
        return {};
    const QByteArrayView line = lines.next();
    return m_exact ? line : trimSpaceBytes(line);
}

std::array<QByteArrayView, RecordColumnCount> SlipRecord::columnViews() const
{
    std::array<QByteArrayView, RecordColumnCount> views{};
    LineReader lines(QByteArrayView(m_bytes).sliced(m_base));
    for (QByteArrayView& view : views) {
        if (lines.atEnd())
            break;
        const QByteArrayView line = lines.next();
        view = m_exact ? line : trimSpaceBytes(line);
    }
    return views;
}

QString SlipRecord::column(int index) const
{
    return decodeWindows1252(columnBytes(index));
}

QStringList SlipRecord::columns() const
{
    QStringList result;
    result.reserve(RecordColumnCount);
    for (const QByteArrayView value : columnViews())
        result.append(decodeWindows1252(value));
    return result;
}

bool operator==(const SlipRecord& a, const SlipRecord& b)
{
    return a.columnViews() == b.columnViews();
}

ArchiveTable readArchive(const QByteArray& bytes)
{
    ArchiveStreamReader reader(bytes);
    return reader.finish();
}

namespace {

// The separator for bytes when the reader stands between records at idleFrom, a line start.
QByteArray separatorFrom(QByteArrayView bytes, qsizetype idleFrom)
{
    // Follow the reader: after a marker it takes the next 16 lines whatever they hold.
    LineReader lines(bytes.sliced(idleFrom));
    int missing = 0;
    while (!lines.atEnd()) {
        const QByteArrayView line = lines.next();
        if (missing > 0)
            --missing;
        else if (line == RecordMarker)
            missing = RecordColumnCount;
    }
    QByteArray out;
    if (bytes.isEmpty())
        return out;
    const char last = bytes.back();
    // After a closing CR, a CR LF would join it into one line end (CR CR LF): lone CRs are added then.
    const char* lineEnd = last == '\r' ? "\r" : "\r\n";
    if (last != '\r' && last != '\n')
        out.append("\r\n");
    for (int i = 0; i < missing; ++i)
        out.append(lineEnd);
    return out;
}

} // namespace

QByteArray separatorBeforeNewRecord(QByteArrayView bytes)
{
    return separatorFrom(bytes, 0);
}

std::optional<QByteArray> separatorBeforeNewRecordFromTail(QByteArrayView tail)
{
    // The first line may have begun before the tail: it is passed over. After 16 lines in a row that are
    // not the marker, the reader stands between records whatever came before: a record open before them
    // took its last value among them.
    LineReader lines(tail);
    if (lines.atEnd())
        return std::nullopt;
    lines.next();
    int plain = 0;
    while (!lines.atEnd()) {
        if (plain == RecordColumnCount)
            return separatorFrom(tail, lines.position());
        plain = lines.next() == RecordMarker ? 0 : plain + 1;
    }
    // The boundary found at the very end: the tail ends with a whole line, or its last line has no end.
    if (plain == RecordColumnCount)
        return separatorFrom(tail, tail.size());
    return std::nullopt;
}

QString unstorableMessage(const UnstorableCharacter& problem)
{
    const int column = qBound(0, problem.column, RecordColumnCount - 1);
    const QString field = column == DateColumn                         ? u"Data"_s
                          : column < FirstFieldColumn + SlipFieldCount ? FieldName(column - FirstFieldColumn)
                                                                       : QString::number(column);
    return u"Il carattere %1 del campo «%2» non può essere salvato nell'archivio.\n"
           u"Correggere il campo e salvare di nuovo: nulla è stato salvato."_s.arg(characterLabel(problem),
                                                                                   field);
}

UnstorableCharacter characterAt(QStringView text, qsizetype index, int column)
{
    qsizetype length = 1;
    char32_t code = text[index].unicode();
    if (text[index].isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate()) {
        code = QChar::surrogateToUcs4(text[index], text[index + 1]);
        length = 2;
    }
    return {column, text.sliced(index, length).toString(), code};
}

QString characterLabel(const UnstorableCharacter& character)
{
    const char32_t code = character.codePoint;
    const QString number = u"U+%1"_s.arg(QString::number(uint(code), 16).toUpper().rightJustified(4, u'0'));
    const bool visible = code >= 0x20 && code != 0x7F && !(code >= 0x80 && code < 0xA0);
    return visible ? u"«%1» (%2)"_s.arg(character.character, number) : number;
}

bool encodeSavedRecord(const QString& dateText, const SlipTexts& fields, const PaletteState& state,
                       QByteArray& record, UnstorableCharacter& problem)
{
    record.clear();
    QByteArray out;
    out.reserve(256);
    out.append(RecordMarker.data(), RecordMarker.size());
    out.append("\r\n");
    if (!appendLine(dateText, DateColumn, out, problem))
        return false;
    for (int field = 0; field < SlipFieldCount; ++field) {
        if (!appendLine(u" "_s + fields[field], FirstFieldColumn + field, out, problem))
            return false;
    }
    out.append(state.premarcati ? " True\r\n" : " False\r\n");
    out.append(state.twoFrame ? " True\r\n" : " False\r\n");
    out.append(' ').append(QByteArray::number(int(state.check))).append("\r\n");
    record = std::move(out);
    return true;
}

void encodeRewrittenRecord(const SlipRecord& record, QByteArray& out)
{
    out.append(RecordMarker.data(), RecordMarker.size());
    out.append("\r\n");
    for (const QByteArrayView value : record.columnViews())
        out.append(value).append("\r\n");
}

std::optional<bool> readOptionState(QStringView text)
{
    text = TrimmedOfSpaces(text);
    if (text.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    double number = QLocale::c().toDouble(text, &ok);
    if (!ok)
        number = QLocale(QLocale::Italian).toDouble(text, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number != 0.0;
}

std::optional<int> readCheckState(QStringView text)
{
    bool ok = false;
    const int value = QLocale::c().toInt(TrimmedOfSpaces(text), &ok);
    if (!ok || value < 0 || value > 2)
        return std::nullopt;
    return value;
}

SlipTexts slipTextsOf(const SlipRecord& record)
{
    SlipTexts texts;
    for (int field = 0; field < SlipFieldCount; ++field)
        texts[field] = TrimmedOfSpaces(record.column(FirstFieldColumn + field));
    return texts;
}

PaletteState paletteStateOf(const SlipRecord& record)
{
    PaletteState state;
    state.premarcati = readOptionState(record.column(PremarcatiColumn)).value_or(state.premarcati);
    state.twoFrame = readOptionState(record.column(TwoFrameColumn)).value_or(state.twoFrame);
    if (const std::optional<int> check = readCheckState(record.column(CheckColumn)))
        state.check = CheckBoxState(*check);
    return state;
}
