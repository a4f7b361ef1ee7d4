// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QRectF>
#include <QRegion>

// Pixel regions for the palette's outline: right and bottom edges excluded, corner ellipses of the given
// width and height, coordinates rounded to the nearest whole number with halves going to the even neighbour.

int roundHalfEven(double value);

// Rounded rectangle (left, top)–(right, bottom), right and bottom excluded, corner ellipse w × h.
QRegion roundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);

// The palette's outline from its three design shapes, read in client pixels; the +1 moves them into window
// coordinates across the one-pixel border.
struct PaletteShapes {
    QRectF upperPanel; // rounded, UpperPanelCorner × UpperPanelCorner corner ellipses
    QRectF joint;      // square
    QRectF lowerPanel; // rounded, LowerPanelCorner × LowerPanelCorner corner ellipses
};

// The corner ellipses of the two rounded panels, in pixels. A painter's corner radius is half of one.
inline constexpr int UpperPanelCorner = 40;
inline constexpr int LowerPanelCorner = 60;

QRegion paletteOutline(const PaletteShapes& shapes);
