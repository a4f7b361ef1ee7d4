#include "core/sheet/CsvText.h"

#include "core/archive/Windows1252.h"

#include <cstring>

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

SheetEncoding detectSheetEncoding(QByteArrayView bytes, QByteArrayView* body)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView rest = bom ? bytes.sliced(3) : bytes;
    if (isValidUtf8(rest)) {
        if (body)
            *body = rest;
        return bom ? SheetEncoding::Utf8WithBom : SheetEncoding::Utf8;
    }
    if (body)
        *body = bytes;
    return SheetEncoding::Windows1252;
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
