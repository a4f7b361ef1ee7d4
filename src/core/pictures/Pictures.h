// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QString>

// The pictures of the windows, by their resource path (":/euro.png"). Those the windows show at
// start-up are compiled in as pixels; any other is read from the resources.
QImage Picture(const QString& resourcePath);

// One picture compiled in (see src/resources/PicturePixels.cpp): ARGB32, premultiplied.
struct EmbeddedPicture {
    const char* resourcePath;
    int width;
    int height;
    const unsigned int* pixels;
};
extern const EmbeddedPicture EmbeddedPictures[];
extern const int EmbeddedPictureCount;
