// SPDX-License-Identifier: GPL-3.0-or-later
// The system's answers in Italian on Windows: GetLastError() values.
#include "core/files/SystemError.h"

#include <windows.h>

using namespace Qt::StringLiterals;

QString systemErrorText(int error)
{
    switch (DWORD(error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return u"file o cartella inesistente"_s;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return u"permesso negato"_s;
    case ERROR_SHARING_VIOLATION:
        return u"il file è in uso da un altro programma"_s;
    case ERROR_LOCK_VIOLATION:
        return u"il file è bloccato da un altro programma"_s;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return u"spazio esaurito sul disco"_s;
    case ERROR_FILE_TOO_LARGE:
        return u"il file supera la dimensione massima consentita"_s;
    case ERROR_WRITE_PROTECT:
        return u"il disco è in sola lettura"_s;
    case ERROR_DIRECTORY:
        return u"un elemento del percorso non è una cartella"_s;
    case ERROR_CANT_RESOLVE_FILENAME:
        return notRegularFileText(FileKind::Link);
    case ERROR_FILENAME_EXCED_RANGE:
        return u"il nome del file è troppo lungo"_s;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return u"il nome del file non è valido"_s;
    case ERROR_CRC:
    case ERROR_IO_DEVICE:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
        return u"errore di lettura o scrittura sul disco"_s;
    case ERROR_NOT_READY:
        return u"il disco non è pronto"_s;
    case ERROR_TOO_MANY_OPEN_FILES:
        return u"troppi file aperti"_s;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return u"memoria insufficiente"_s;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return u"esiste già un file con questo nome"_s;
    case ERROR_BUSY:
        return u"il file o il dispositivo è occupato"_s;
    case ERROR_NOT_SAME_DEVICE:
        return u"il file non si può spostare su un altro disco"_s;
    case ERROR_DIR_NOT_EMPTY:
        return u"la cartella non è vuota"_s;
    case ERROR_DELETE_PENDING:
        return u"il file sta per essere eliminato"_s;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_FUNCTION:
        return u"operazione non valida per questo file"_s;
    case ERROR_NOT_SUPPORTED:
        return u"operazione non supportata da questo disco"_s;
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
        return u"il disco di rete non è raggiungibile"_s;
    default:
        return u"errore di sistema n. %1"_s.arg(error);
    }
}
