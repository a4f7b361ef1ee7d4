// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>

// Windows only: the path in the form the wide calls of Windows take whole, whatever its length and its
// characters ("\\?\C:\…" or "\\?\UNC\server\…").
std::wstring win32Path(const QString& path);
