// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Failure.h"
#include "core/files/FileHandle.h"

#include <QString>

// The system's part of readInputFile(): opens the file at path to read it, by the system's rules for a
// link at the name (InputFile.h). The failure's text is the cause, a clause. What was opened may still
// be anything but a plain file: readInputFile() checks.
Failure openInputFile(const QString& path, FileHandle& file);
