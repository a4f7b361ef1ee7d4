// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

#include <functional>

class MessageBoxes;
class Clock;
class Printer;
class PrintDialogs;
class SheetDialogs;

// The world outside the logic, handed to the windows and the commands: message boxes, the clock, the
// printer, the print and spreadsheet dialogs and where the archive file lies. Startup builds the one
// the program uses from the real implementations; tests build theirs from doubles.
struct Services {
    MessageBoxes& messages;
    Clock& clock;
    Printer& printer;
    // Qt's preview and print dialogs.
    PrintDialogs& printDialogs;
    // File dialogs, the review of a spreadsheet and the progress of many slips.
    SheetDialogs& sheetDialogs;
    // Full path of the archive file, worked out anew by each archive operation.
    std::function<QString()> archivePath;
    // Ends the application at once; unset, it leaves the event loop.
    std::function<void()> exitApplication;
    // The user's own folder for the dated copies of the archive and its last record count; unset (as
    // in most tests), no copy is kept and nothing is counted.
    std::function<QString()> copiesDirectory;

    void endApplication() const;
};
