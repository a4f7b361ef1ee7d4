#pragma once

#include <QString>

#include <functional>

class MessageBoxes;
class Clock;
class Printer;
class PrintDialogs;
class SheetDialogs;

// The world outside the logic, handed to the windows and the commands: message boxes, the clock, the
// printer and where the archive file lies. Startup builds the one the program uses from the real
// implementations; tests build theirs from doubles.
struct Services {
    MessageBoxes& messages;
    Clock& clock;
    Printer& printer;
    // Full path of the archive file, worked out anew by each archive operation.
    std::function<QString()> archivePath;
    // Ends the application at once; unset, it leaves the event loop.
    std::function<void()> exitApplication;
    // Qt's preview and print dialogs; without them "Anteprima di stampa" and "Stampa su…" do nothing.
    PrintDialogs* printDialogs = nullptr;
    // File dialogs, the review of a spreadsheet and the progress of many slips; without them the
    // spreadsheet and archive-import commands do nothing.
    SheetDialogs* sheetDialogs = nullptr;

    void endApplication() const;
};
