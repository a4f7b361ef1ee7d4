#pragma once

#include <QString>

// The directory shared by the machine's users that holds the archive (CEDOLARIO_SYSTEM_DIR),
// with a trailing "/". It is created, writable for all users, when missing; where it neither
// exists nor can be made the result is empty and the archive lies in the current directory.
QString SystemDirectory();
// The same for a given directory (spaces at both ends are removed).
QString SystemDirectory(const QString& directory);

// SystemDirectory() + "fillcp.dll", worked out anew on every call.
QString ArchivePath();

inline constexpr QLatin1StringView ArchiveFileName("fillcp.dll");
