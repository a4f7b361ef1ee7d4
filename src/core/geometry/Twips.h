#pragma once

#include <QRect>

// Window geometry is specified in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int TwipsPerPixel = 15;

constexpr int twipsToPixels(int twips)
{
    // Round half away from zero, as the form designer did.
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels)
{
    return pixels * TwipsPerPixel;
}

constexpr QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height));
}
