// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/files/FileHandle.h"

#include <QString>

// The system's part of readInputFile(): opens the file at path to read it, by the system's rules for a
// link at the name (InputFile.h). False with the cause in Italian. What was opened may still be anything
// but a plain file: readInputFile() checks.
bool openInputFile(const QString& path, FileHandle& file, QString& cause);
