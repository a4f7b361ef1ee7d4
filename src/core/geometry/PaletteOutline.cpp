// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/geometry/PaletteOutline.h"

#include <cmath>

int roundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return static_cast<int>(floor) + 1;
    if (fraction < 0.5)
        return static_cast<int>(floor);
    const int lower = static_cast<int>(floor);
    return lower % 2 == 0 ? lower : lower + 1;
}

QRegion roundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight)
{
    if (right <= left || bottom <= top)
        return {};
    const double a = std::min(ellipseWidth, right - left) / 2.0;
    const double b = std::min(ellipseHeight, bottom - top) / 2.0;
    QRegion region;
    for (int y = top; y < bottom; ++y) {
        // Distance of the pixel row's centre from the centre line of the nearer corner ellipses.
        const double centre = y + 0.5;
        double dy = 0;
        if (centre < top + b)
            dy = top + b - centre;
        else if (centre > bottom - b)
            dy = centre - (bottom - b);
        double inset = 0;
        if (b > 0 && dy > 0) {
            const double t = std::min(1.0, dy / b);
            inset = a - a * std::sqrt(1.0 - t * t);
        }
        // A pixel belongs to the row when its centre lies inside the outline.
        const int first = static_cast<int>(std::ceil(left + inset - 0.5));
        const int last = static_cast<int>(std::floor(right - inset - 0.5));
        if (last >= first)
            region += QRect(first, y, last - first + 1, 1);
    }
    return region;
}

QRegion paletteOutline(const PaletteShapes& shapes)
{
    const QRectF& upper = shapes.upperPanel;
    const QRectF& joint = shapes.joint;
    const QRectF& lower = shapes.lowerPanel;

    QRegion outline =
        roundRectRegion(roundHalfEven(upper.left() + 1), roundHalfEven(upper.top() + 1),
                        roundHalfEven(upper.left() + upper.width()),
                        roundHalfEven(upper.top() + upper.height()), UpperPanelCorner, UpperPanelCorner);
    const int jointLeft = roundHalfEven(joint.left() + 1);
    const int jointTop = roundHalfEven(joint.top());
    outline += QRegion(jointLeft, jointTop, roundHalfEven(joint.left() + joint.width()) - jointLeft,
                       roundHalfEven(joint.top() + joint.height()) - jointTop);
    outline +=
        roundRectRegion(roundHalfEven(lower.left() + 1), roundHalfEven(lower.top() + 1),
                        roundHalfEven(lower.left() + lower.width()),
                        roundHalfEven(lower.top() + lower.height()), LowerPanelCorner, LowerPanelCorner);
    return outline;
}
