// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProgramArguments.h"

#ifdef Q_OS_WIN
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#endif

ProgramArguments programArguments(int argc, char* argv[])
{
    ProgramArguments arguments;
    for (int i = 1; i < argc; ++i)
        arguments.bytes.append(QByteArray(argv[i]));
#ifdef Q_OS_WIN
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.texts.append(QString::fromWCharArray(wide[i]));
        LocalFree(wide);
        return arguments;
    }
#endif
    for (const QByteArray& argument : std::as_const(arguments.bytes))
        arguments.texts.append(QString::fromLocal8Bit(argument));
    return arguments;
}

void writeToCallersConsole()
{
#ifdef Q_OS_WIN
    if (GetConsoleWindow() == nullptr && AttachConsole(ATTACH_PARENT_PROCESS)) {
        // A stream the caller redirected (to a file, a pipe) keeps going there.
        const auto reopen = [](DWORD which, FILE* stream) {
            const HANDLE handle = GetStdHandle(which);
            if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
                GetFileType(handle) == FILE_TYPE_UNKNOWN)
                std::freopen("CONOUT$", "w", stream);
        };
        reopen(STD_OUTPUT_HANDLE, stdout);
        reopen(STD_ERROR_HANDLE, stderr);
    }
    // The messages are written in UTF-8: the console shows their accents as such.
    if (GetConsoleWindow() != nullptr)
        SetConsoleOutputCP(CP_UTF8);
#endif
}
