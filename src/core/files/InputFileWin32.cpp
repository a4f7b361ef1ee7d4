// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a file on the user's say on Windows: see InputFile.h. A link at the name is followed: on
// Windows only an administrator (or a developer's machine) can make one, so one the user reaches is his
// own to follow; what it leads to must still be a plain file.
#include "core/files/InputFileOpen.h"

#include "core/files/SystemError.h"
#include "core/files/Win32Path.h"

#include <windows.h>

using namespace Qt::StringLiterals;

Failure openInputFile(const QString& path, FileHandle& file)
{
    if (path.isEmpty() || path.endsWith(u'/') || path.endsWith(u'\\'))
        return Failure::failed(notRegularFileText(FileKind::Directory));
    const HANDLE handle = CreateFileW(win32Path(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        // A folder cannot be opened as a file: say so rather than "permission denied".
        const DWORD attributes = GetFileAttributesW(win32Path(path).c_str());
        if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Failure::failed(notRegularFileText(FileKind::Directory));
        return Failure::failed(systemErrorText(int(error)));
    }
    file = FileHandle(reinterpret_cast<FileHandle::Native>(handle));
    return {};
}
