// SPDX-License-Identifier: GPL-3.0-or-later
// The system's answers in Italian on POSIX systems: errno values.
#include "core/files/SystemError.h"

#include <cerrno>

using namespace Qt::StringLiterals;

QString systemErrorText(int error)
{
    switch (error) {
    case ENOENT:
        return u"file o cartella inesistente"_s;
    case EACCES:
    case EPERM:
        return u"permesso negato"_s;
    case ENOSPC:
        return u"spazio esaurito sul disco"_s;
    case EDQUOT:
        return u"quota del disco esaurita"_s;
    case EFBIG:
        return u"il file supera la dimensione massima consentita"_s;
    case EROFS:
        return u"il disco è in sola lettura"_s;
    case EISDIR:
        return notRegularFileText(FileKind::Directory);
    case ENOTDIR:
        return u"un elemento del percorso non è una cartella"_s;
    case ELOOP:
        // Every file the program opens is opened without following a link at its name.
        return notRegularFileText(FileKind::Link);
    case ENXIO:
        return u"al suo posto c'è una FIFO o un dispositivo"_s;
    case ENAMETOOLONG:
        return u"il nome del file è troppo lungo"_s;
    case EIO:
        return u"errore di lettura o scrittura sul disco"_s;
    case EMFILE:
    case ENFILE:
        return u"troppi file aperti"_s;
    case ENOMEM:
        return u"memoria insufficiente"_s;
    case EEXIST:
        return u"esiste già un file con questo nome"_s;
    case EBUSY:
        return u"il file o il dispositivo è occupato"_s;
    case ETXTBSY:
        return u"il file è un programma in esecuzione"_s;
    case EXDEV:
        return u"il file non si può spostare su un altro disco"_s;
    case ENOTEMPTY:
        return u"la cartella non è vuota"_s;
    case EINVAL:
        return u"operazione non valida per questo file"_s;
    case EAGAIN:
        return u"risorsa momentaneamente non disponibile"_s;
    case EINTR:
        return u"operazione interrotta"_s;
    case ESTALE:
        return u"il file sul disco di rete non è più valido"_s;
    case EOVERFLOW:
        return u"il file è troppo grande per essere letto"_s;
    case ENODEV:
    case ENOTSUP:
        return u"operazione non supportata da questo disco"_s;
    default:
        return u"errore di sistema n. %1"_s.arg(error);
    }
}
