// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sheet/CsvText.h"

#include "core/archive/Windows1252.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// True when bytes are valid UTF-8: no stray continuation byte, no sequence cut short, no overlong
// form, no surrogate, nothing beyond U+10FFFF.
bool isValidUtf8(QByteArrayView bytes)
{
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (n - i < length || s[i + 1] < low || s[i + 1] > high)
            return false;
        for (int k = 2; k < length; ++k) {
            if (s[i + k] < 0x80 || s[i + k] > 0xBF)
                return false;
        }
        i += length;
    }
    return true;
}

} // namespace

LineText classifyLine(QByteArrayView bytes)
{
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
        return LineText::Ascii;
    return isValidUtf8(bytes) ? LineText::Utf8 : LineText::NotUtf8;
}

namespace {

// UTF-16 without a byte order mark, told by its first characters: Latin letters each with a zero
// byte after them (low byte first) or before them, which no text in one byte a character holds.
std::optional<SheetEncoding> unmarkedUtf16(QByteArrayView bytes)
{
    const qsizetype n = std::min<qsizetype>(bytes.size() & ~qsizetype(1), 64);
    if (n < 4)
        return std::nullopt;
    bool little = true;
    bool big = true;
    for (qsizetype i = 0; i < n; i += 2) {
        const char first = bytes[i];
        const char second = bytes[i + 1];
        little = little && first != 0 && second == 0;
        big = big && first == 0 && second != 0;
    }
    if (little)
        return SheetEncoding::Utf16LE;
    if (big)
        return SheetEncoding::Utf16BE;
    return std::nullopt;
}

} // namespace

SheetBytes::SheetBytes(QByteArrayView bytes) : m_original(bytes)
{
    std::optional<SheetEncoding> utf16;
    qsizetype mark = 0;
    if (bytes.startsWith("\xFF\xFE")) {
        utf16 = SheetEncoding::Utf16LE;
        mark = 2;
    } else if (bytes.startsWith("\xFE\xFF")) {
        utf16 = SheetEncoding::Utf16BE;
        mark = 2;
    } else {
        utf16 = unmarkedUtf16(bytes);
    }
    if (utf16) {
        m_encoding = *utf16;
        // Unpaired surrogates and a last odd byte become U+FFFD, which no slip can store: the row
        // that holds one is refused by the archive's rule.
        QStringDecoder decoder(*utf16 == SheetEncoding::Utf16LE ? QStringDecoder::Utf16LE
                                                                : QStringDecoder::Utf16BE);
        const QString text = decoder(bytes.sliced(mark));
        m_converted = text.toUtf8();
        if (m_converted.isNull())
            m_converted = QByteArray("");
        return;
    }

    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    if (bom)
        m_original = bytes.sliced(3);
    // Most files are UTF-8 throughout: one pass tells, and no line needs counting.
    if (isValidUtf8(m_original)) {
        m_encoding = bom ? SheetEncoding::Utf8WithBom : SheetEncoding::Utf8;
        return;
    }
    qsizetype utf8Lines = 0;
    qsizetype otherLines = 0;
    const char* s = m_original.data();
    const qsizetype n = m_original.size();
    for (qsizetype at = 0; at < n;) {
        const void* end = std::memchr(s + at, '\n', size_t(n - at));
        const qsizetype stop = end ? static_cast<const char*>(end) - s : n;
        switch (classifyLine(m_original.sliced(at, stop - at))) {
        case LineText::Ascii:
            break;
        case LineText::Utf8:
            ++utf8Lines;
            break;
        case LineText::NotUtf8:
            ++otherLines;
            break;
        }
        at = stop + 1;
    }
    if (bom || utf8Lines >= otherLines) {
        m_encoding = bom ? SheetEncoding::Utf8WithBom : SheetEncoding::Utf8;
        m_otherLines = otherLines;
    } else {
        m_encoding = SheetEncoding::Windows1252;
        m_otherLines = utf8Lines;
    }
}

bool SheetBytes::fits(QByteArrayView record) const
{
    if (m_otherLines == 0)
        return true;
    const LineText kind = classifyLine(record);
    if (kind == LineText::Ascii)
        return true;
    return (kind == LineText::NotUtf8) == (m_encoding == SheetEncoding::Windows1252);
}

QString decodeSheetField(QByteArrayView bytes, SheetEncoding encoding)
{
    if (encoding == SheetEncoding::Windows1252)
        return decodeWindows1252(bytes);
    return QString::fromUtf8(bytes);
}

char detectSeparator(QByteArrayView bytes)
{
    int semicolons = 0;
    int commas = 0;
    int tabs = 0;
    bool quoted = false;
    for (const char c : bytes) {
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\r' || c == '\n') {
            // A header made of empty lines says nothing yet.
            if (semicolons + commas + tabs > 0)
                break;
        } else if (c == ';') {
            ++semicolons;
        } else if (c == ',') {
            ++commas;
        } else if (c == '\t') {
            ++tabs;
        }
    }
    if (commas > semicolons)
        return ',';
    if (semicolons == 0 && tabs > 0)
        return '\t';
    return ';';
}

bool CsvReader::next(CsvRecord& record)
{
    const char* s = m_bytes.data();
    const qsizetype n = m_bytes.size();
    while (m_at < n) {
        record.row = ++m_row;
        record.fields.clear();
        record.unterminatedQuote = false;
        const qsizetype start = m_at;
        qsizetype i = m_at;
        qsizetype end = n; // where the record's bytes stop, before the line end
        QByteArray field;
        bool anything = false; // a separator or a character was seen: the line is not empty
        while (i < n) {
            const char c = s[i];
            if (c == '"' && field.isEmpty()) {
                // A quoted field: up to the lone quote that closes it.
                anything = true;
                ++i;
                bool closed = false;
                while (i < n) {
                    const void* quote = std::memchr(s + i, '"', size_t(n - i));
                    const qsizetype stop = quote ? static_cast<const char*>(quote) - s : n;
                    field.append(s + i, stop - i);
                    i = stop;
                    if (i >= n)
                        break;
                    if (i + 1 < n && s[i + 1] == '"') {
                        field.append('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (!closed)
                    record.unterminatedQuote = true;
                // Characters after the closing quote (not RFC 4180, but spreadsheets accept them)
                // belong to the same field.
                continue;
            }
            if (c == m_separator) {
                anything = true;
                record.fields.append(field);
                field.clear();
                ++i;
            } else if (c == '\r' || c == '\n') {
                end = i;
                i += (c == '\r' && i + 1 < n && s[i + 1] == '\n') ? 2 : 1;
                break;
            } else {
                // A run of plain characters; a quote inside a field that has begun is one of them.
                qsizetype j = i + 1;
                while (j < n && s[j] != m_separator && s[j] != '\r' && s[j] != '\n' && s[j] != '"')
                    ++j;
                anything = true;
                field.append(s + i, j - i);
                i = j;
            }
        }
        record.fields.append(field);
        record.line = m_bytes.sliced(start, end - start);
        m_at = i;
        if (anything)
            return true;
    }
    return false;
}

namespace {

bool needsQuotes(const QString& field)
{
    if (field.isEmpty())
        return false;
    if (field.front() == u' ' || field.back() == u' ')
        return true;
    for (QChar c : field) {
        if (c == u';' || c == u'"' || c == u'\r' || c == u'\n')
            return true;
    }
    return false;
}

} // namespace

QByteArray writeCsv(const QList<QStringList>& records)
{
    QString text;
    for (const QStringList& record : records) {
        for (qsizetype f = 0; f < record.size(); ++f) {
            if (f > 0)
                text += u';';
            const QString& field = record[f];
            if (needsQuotes(field)) {
                text += u'"';
                text += QString(field).replace(u"\""_s, u"\"\""_s);
                text += u'"';
            } else {
                text += field;
            }
        }
        text += u"\r\n"_s;
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}
