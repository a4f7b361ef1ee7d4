// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/slip/SlipFields.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

class Clock;
class Printer;
class QTextStream;

// The command line: slips from a CSV file printed, saved as one PDF or added to the archive, without
// any window, for scripts. Messages are Italian, on the error stream, one line per row of the file.
// Exit status: 0 when every row was done, 1 when some row was not (refused by the typing rules,
// without a model, or the job or the file failed), 2 when the command itself was wrong or the file
// could not be read as a list of slips.

inline constexpr int ExitAllDone = 0;
inline constexpr int ExitSomeRowsNotDone = 1;
inline constexpr int ExitUsage = 2;

struct CommandLineRequest {
    enum Action {
        StartWindows, // no option of ours: the program starts as usual
        Help,
        Version, // --version: the version on standard output
        Print,
        Pdf,
        Import,
        Export,  // --esporta: the archive written as a sheet file
        Invalid, // error says why
    };
    Action action = StartWindows;
    QString csvPath; // the sheet file read (Print, Pdf, Import) or written (Export)
    QString pdfPath;
    bool alsoStored = false; // --anche-presenti: --importa adds the slips the archive holds already too
    QString sheetName;       // --foglio: the sheet of a workbook to read; empty for the first
    bool alsoHidden = false; // --anche-nascoste: the rows the sheet hides are read too
    SlipTexts values;        // --valore "Colonna=testo": by field, what every row takes when the sheet
                             // has no column for it
    QString error;
};

// The request of the program's arguments (without the program's name), read by QCommandLineParser.
// Qt's own options (-platform, -style, -display…) are let through for the application object; any
// other argument that is not a command of ours, or a command with the wrong arguments, is Invalid,
// so a mistyped option never opens the windows.
CommandLineRequest parseCommandLine(const QStringList& arguments);

// The text of --help, and the line of --version ("cedolario 1.3").
QString commandLineHelp();
QString versionLine();

// What a command-line run uses of the world.
struct CommandLineWorld {
    Printer* printer = nullptr;
    Clock* clock = nullptr;
    std::function<QString()> archivePath;
    QLocale locale = QLocale::system(); // language of the dates saved in the archive
    QTextStream* out = nullptr;         // --help
    QTextStream* err = nullptr;         // everything else
};

// Runs the request (not StartWindows) and returns the exit status.
int runCommandLine(const CommandLineRequest& request, const CommandLineWorld& world);

// The whole run of a request other than StartWindows, from main(): the application object (no
// window is shown, so it is always the offscreen one, whatever QT_QPA_PLATFORM or -platform asked:
// scripts run without a display), the system's printer and clock, and the archive at archivePath.
// Help, version and a wrong command line need no application object at all.
int runCommandLineApplication(int argc, char* argv[], const CommandLineRequest& request,
                              std::function<QString()> archivePath);
