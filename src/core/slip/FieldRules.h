// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// What each slip field lets in. Typed characters are filtered one by one; text that arrives by paste,
// drop or an input method is cleaned the same way before it is inserted. Text written by the program
// itself (a recalled slip) is not filtered.

enum class FieldInput {
    AnyText, // every character
    Digits,  // 0-9 only: AccountNumber, DocumentType, PayerPostcode
    Amount,  // 0-9 and the comma: Amount
};

inline constexpr int PostcodeMaxLength = 5;
inline constexpr int BackspaceCode = 8;
inline constexpr int CarriageReturnCode = 13;

FieldInput FieldInputOf(int field);

// Longest text the field holds, or 0 when it has no limit.
int FieldMaxLength(int field);

// Whether the field takes this character when it is typed or inserted.
bool FieldAcceptsCharacter(int field, QChar c);

// The character code the field receives for a typed code: the code itself when the field accepts it
// (backspace always), otherwise a carriage return, which a single-line field does not insert.
int FilterTypedCode(int field, int code);

// CR, LF, CR LF, vertical tab, form feed, NEL and the Unicode line and paragraph separators.
bool IsLineBreak(QChar c);

// Text about to be inserted into the field by paste, drop or an input method: every line break (CR LF
// counting as one) becomes a space, a digit field drops every character it would refuse when typed,
// and the postcode keeps at most its first five characters.
QString CleanInsertedText(int field, const QString& text);
