// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/SystemError.h"

using namespace Qt::StringLiterals;

QString notRegularFileText(FileKind kind)
{
    switch (kind) {
    case FileKind::Fifo:
        return u"al suo posto c'è una FIFO, non un file"_s;
    case FileKind::Device:
        return u"al suo posto c'è un dispositivo, non un file"_s;
    case FileKind::Directory:
        return u"al suo posto c'è una cartella"_s;
    case FileKind::Socket:
        return u"al suo posto c'è un socket, non un file"_s;
    case FileKind::Link:
        return u"al suo posto c'è un collegamento simbolico, che non viene seguito"_s;
    case FileKind::Regular:
    case FileKind::Other:
        break;
    }
    return u"non è un file regolare"_s;
}
