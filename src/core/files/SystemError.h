// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/files/FileHandle.h"

#include <QString>

// The words of the system's answers, in Italian, for the messages that give a cause: "Impossibile
// scrivere X: <cause>.". No message of the program shows the system's English text.

// A number of the system's (errno on POSIX, GetLastError() on Windows, as lastFileError() gives it)
// told in Italian; one the program has no words for is "errore di sistema n. N".
QString systemErrorText(int error);

// What stands at a name instead of a regular file.
QString notRegularFileText(FileKind kind);
