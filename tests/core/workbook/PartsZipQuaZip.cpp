// SPDX-License-Identifier: GPL-3.0-or-later

// The test packages made by QuaZip, a zip producer that shares no code with ours.
#include "WorkbookParts.h"

#include <QBuffer>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

// A zip of the given parts, in memory.
QByteArray zipOf(const QList<Part>& parts)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        qFatal("zip");
    for (const Part& part : parts) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(part.name), nullptr, 0,
                       part.stored ? 0 : Z_DEFLATED, part.stored ? 0 : 9))
            qFatal("zip part");
        file.write(part.bytes);
        file.close();
    }
    zip.close();
    return bytes;
}
