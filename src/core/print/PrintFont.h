// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QFont>
#include <QString>

// The one font of the printed page and of the measurements made for it: "Arial" at the given
// size, without pair kerning, so that every width is the plain sum of Arial's advance widths
// (the wrapped lines of the reason then break where Arial's own widths put them).
QFont PrintFont(double points = 8, bool bold = false);

// Whether a family that "Arial" resolved to has Arial's widths: Arial itself, or one of the
// faces made to match it (Liberation Sans, Arimo). Any other face is wider or narrower, and the
// slip's right-aligned amounts and code line pieces would move.
bool IsArialMetricCompatible(const QString& resolvedFamily);

// The family that "Arial" resolves to on this system (needs a QGuiApplication).
QString ResolvedArialFamily();

// Told once at start-up when ResolvedArialFamily() is not metric-compatible.
QString ArialMissingMessage(const QString& resolvedFamily);
