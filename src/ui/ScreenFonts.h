// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QString>

// The fonts of the windows. The printed page has its own, PrintFont (core/print/PrintFont.h).

// A font of the given family, size in points and weight.
inline QFont FontOf(const QString& family, double pointSize, bool bold = false)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

// The typeface of the slip form and the palette. "Arial" resolves through fontconfig to Liberation Sans,
// which has the same widths.
inline QFont ArialFont(double pointSize, bool bold = false)
{
    return FontOf(QStringLiteral("Arial"), pointSize, bold);
}
