// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/Windows1252.h"

namespace {

// Characters of bytes 0x80-0x9F.
constexpr char16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

// The byte of ch, or -1.
int byteOf(char16_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (int i = 0; i < 32; ++i) {
        if (HighControls[i] == ch)
            return 0x80 + i;
    }
    return -1;
}

} // namespace

void decodeWindows1252Into(QByteArrayView bytes, char16_t* out)
{
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    // Widen as Latin-1 (loops the compiler vectorises), then mend the bytes 0x80-0x9F.
    unsigned high = 0;
    for (qsizetype i = 0; i < n; ++i) {
        out[i] = in[i];
        high |= in[i];
    }
    if (!(high & 0x80))
        return;
    for (qsizetype i = 0; i < n; ++i) {
        if ((in[i] & 0xE0) == 0x80)
            out[i] = HighControls[in[i] - 0x80];
    }
}

QString decodeWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    decodeWindows1252Into(bytes, reinterpret_cast<char16_t*>(text.data()));
    return text;
}

bool encodeWindows1252(QStringView text, QByteArray& out, qsizetype& unencodableAt)
{
    const qsizetype start = out.size();
    out.reserve(start + text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int b = byteOf(text[i].unicode());
        if (b < 0) {
            out.truncate(start);
            unencodableAt = i;
            return false;
        }
        out.append(static_cast<char>(b));
    }
    return true;
}

bool isWindows1252(char16_t ch)
{
    return byteOf(ch) >= 0;
}
