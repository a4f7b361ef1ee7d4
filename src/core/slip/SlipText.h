// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringView>

#include <algorithm>

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

// A value as a message shows it: at most max characters and "…" after them when it is longer, never
// ending inside a character made of two UTF-16 units, and each line break (CR LF, CR or LF) shown as
// one space, so that a bad cell of any size takes one short line of the message. Only the beginning
// of the text is read.
inline QString ElidedForMessage(QStringView text, qsizetype max = 60)
{
    QString shown;
    shown.reserve(std::min(text.size(), max) + 1);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (shown.size() >= max) {
            if (!shown.isEmpty() && shown.back().isHighSurrogate())
                shown.chop(1);
            return shown + u'\u2026';
        }
        QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            c = u' ';
        }
        shown.append(c);
    }
    return shown;
}

// The digits without the zeros in front of the first other digit ("007" gives "7", "000" nothing).
inline QStringView WithoutLeadingZeros(QStringView digits)
{
    qsizetype first = 0;
    while (first < digits.size() && digits[first] == u'0')
        ++first;
    return digits.sliced(first);
}
