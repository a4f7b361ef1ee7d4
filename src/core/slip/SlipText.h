#pragma once

#include <QStringView>

// Text tests shared by the field rules, the amount and the archive.

// Whether every character is a decimal digit 0-9 (true for the empty text).
inline bool IsDecimalDigits(QStringView text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The text without the space character (only that; tabs stay) at both ends.
inline QStringView TrimmedOfSpaces(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.sliced(begin, end - begin);
}
