// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' own reach into Windows: no file-size limit, no permission bits, no FIFO in a folder, and
// symbolic links where the user may make them.
#include "FileSizeLimit.h"
#include "SystemFiles.h"

#include <QDir>

#include <windows.h>

FileSizeLimit::FileSizeLimit(qint64)
{
}

FileSizeLimit::~FileSizeLimit() = default;

bool FileSizeLimit::available()
{
    return false;
}

bool makeSymbolicLink(const QString& target, const QString& link, QString& why)
{
    // Without the privilege, Windows 10 in developer mode still makes one when asked this way.
    constexpr DWORD AllowUnprivileged = 0x2; // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
    const std::wstring from = QDir::toNativeSeparators(link).toStdWString();
    const std::wstring to = QDir::toNativeSeparators(target).toStdWString();
    if (!CreateSymbolicLinkW(from.c_str(), to.c_str(), AllowUnprivileged)) {
        why = QStringLiteral("CreateSymbolicLinkW failed with error %1 (no privilege to make links)")
                  .arg(GetLastError());
        return false;
    }
    // Wine 8 answers success and makes nothing: believe only a reparse point found at the name.
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        why = QStringLiteral("CreateSymbolicLinkW said yes but no link stands at the name (Wine)");
        return false;
    }
    return true;
}

bool hasPosixPermissions()
{
    return false;
}

int permissionsOf(const QString&)
{
    return -1;
}

bool setPermissions(const QString&, int)
{
    return false;
}

void setFileCreationMask(int)
{
}

bool setOwner(const QString&, quint32, quint32)
{
    return false;
}

bool runsAsRoot()
{
    return false;
}

bool makeFifo(const QString&, QString& why)
{
    why = QStringLiteral("Windows has no FIFO in a folder");
    return false;
}
