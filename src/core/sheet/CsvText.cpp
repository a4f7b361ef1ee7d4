#include "core/sheet/CsvText.h"

#include "core/archive/Windows1252.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

QString decodeSheetBytes(QByteArrayView bytes, SheetEncoding* encoding)
{
    const bool bom = bytes.startsWith("\xEF\xBB\xBF");
    const QByteArrayView body = bom ? bytes.sliced(3) : bytes;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(body);
    if (!utf8.hasError()) {
        if (encoding)
            *encoding = bom ? SheetEncoding::Utf8WithBom : SheetEncoding::Utf8;
        return text;
    }
    if (encoding)
        *encoding = SheetEncoding::Windows1252;
    return decodeWindows1252(bytes);
}

QChar detectSeparator(QStringView text)
{
    int semicolons = 0;
    int commas = 0;
    int tabs = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\r' || c == u'\n') {
            // A header made of empty lines says nothing yet.
            if (semicolons + commas + tabs > 0)
                break;
        } else if (c == u';') {
            ++semicolons;
        } else if (c == u',') {
            ++commas;
        } else if (c == u'\t') {
            ++tabs;
        }
    }
    if (commas > semicolons)
        return u',';
    if (semicolons == 0 && tabs > 0)
        return u'\t';
    return u';';
}

QList<CsvRecord> parseCsv(QStringView text, QChar separator)
{
    QList<CsvRecord> records;
    int row = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        CsvRecord record;
        record.row = row;
        QString field;
        bool recordEnded = false;
        bool anything = false; // a separator or a character was seen: the line is not empty
        while (i < n && !recordEnded) {
            QChar c = text[i];
            if (c == u'"' && field.isEmpty()) {
                // A quoted field: up to the lone quote that closes it.
                anything = true;
                ++i;
                bool closed = false;
                while (i < n) {
                    c = text[i];
                    if (c == u'"') {
                        if (i + 1 < n && text[i + 1] == u'"') {
                            field += u'"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    field += c;
                    ++i;
                }
                if (!closed)
                    record.unterminatedQuote = true;
                // Characters after the closing quote (not RFC 4180, but spreadsheets accept them)
                // belong to the same field.
                continue;
            }
            if (c == separator) {
                anything = true;
                record.fields.append(field);
                field.clear();
                ++i;
            } else if (c == u'\r' || c == u'\n') {
                i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
                recordEnded = true;
            } else {
                anything = true;
                field += c;
                ++i;
            }
        }
        record.fields.append(field);
        if (anything)
            records.append(record);
        ++row;
    }
    return records;
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
