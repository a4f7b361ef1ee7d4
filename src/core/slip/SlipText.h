#pragma once

#include <QString>
#include <QStringView>

// Text helpers shared by the field rules, the amount, the archive, the print routines and the sheets.

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

// The same for a string, which is returned itself (shared, not copied) when it has no space to lose.
inline QString TrimmedOfSpaces(const QString& text)
{
    const QStringView trimmed = TrimmedOfSpaces(QStringView(text));
    return trimmed.size() == text.size() ? text : trimmed.toString();
}

// The digits without the zeros in front of the first other digit ("007" gives "7", "000" nothing).
inline QStringView WithoutLeadingZeros(QStringView digits)
{
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == u'0')
        ++first;
    return digits.sliced(first);
}
