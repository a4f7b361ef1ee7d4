// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The archive's 8-bit code page. Bytes 0xA0-0xFF and 0x00-0x7F are Latin-1; 0x80-0x9F hold the
// euro sign, typographic quotes and a few letters. The five bytes the code page leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) decode to the control characters of the same value, so every byte
// sequence decodes and encodes back unchanged.

QString decodeWindows1252(QByteArrayView bytes);
// Decodes into out, which has room for bytes.size() characters.
void decodeWindows1252Into(QByteArrayView bytes, char16_t* out);

// Appends the encoding of text to out. False when the code page cannot hold a character of text: out
// is then left as it was and unencodableAt is the index in text of the first such character.
bool encodeWindows1252(QStringView text, QByteArray& out, qsizetype& unencodableAt);

// True when the character has a byte of its own in the code page.
bool isWindows1252(char16_t ch);
