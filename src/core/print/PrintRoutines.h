// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

class PrintSurface;

// The text with its right edge at rightEdge, measured in the font state already set.
void PrintRightAligned(PrintSurface& surface, float rightEdge, float y, const QString& text);

// The text over as many lines as it needs, broken at any character: each line ends with the
// character whose prefix first reaches widthLimit, the rest is trimmed of spaces and goes on.
// The first line stands at firstY + 0.3 and each further line 0.3 lower; there is no line limit.
void PrintWrapped(PrintSurface& surface, float x, double firstY, float widthLimit, const QString& text);
