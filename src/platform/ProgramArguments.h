// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// What the program was started with, read before any application object exists.
struct ProgramArguments {
    QStringList texts;       // the arguments after the program's name, as the user wrote them
    QList<QByteArray> bytes; // the same, as the system handed them over, for Qt's own options
};

// The arguments of main(). On Windows they are read from the wide command line, so that a file
// name in any script reaches the program whole (argv holds the ANSI code page's approximation).
ProgramArguments programArguments(int argc, char* argv[]);

// On Windows a program of the windowed kind has no console: when it was started from one (cmd.exe,
// PowerShell) and its output goes nowhere else, its messages are written to that console, which is
// told that they come in UTF-8. Elsewhere nothing to do.
void writeToCallersConsole();
