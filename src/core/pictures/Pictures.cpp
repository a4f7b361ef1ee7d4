// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/pictures/Pictures.h"

QImage Picture(const QString& resourcePath)
{
    for (int i = 0; i < EmbeddedPictureCount; ++i) {
        const EmbeddedPicture& picture = EmbeddedPictures[i];
        if (resourcePath == QLatin1String(picture.resourcePath)) {
            // The image reads the compiled-in pixels in place; a change would copy them first.
            return QImage(reinterpret_cast<const uchar*>(picture.pixels), picture.width, picture.height,
                          picture.width * 4, QImage::Format_ARGB32_Premultiplied);
        }
    }
    return QImage(resourcePath);
}
