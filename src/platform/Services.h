#pragma once

#include <QString>

#include <functional>

class MessageBoxes;
class Clock;
class Printer;

// The world outside the logic, handed to the windows: message boxes, the clock, the printer and
// where the archive file lies. main() fills it with the real implementations, tests with doubles.
struct Services {
    MessageBoxes* messages = nullptr;
    Clock* clock = nullptr;
    Printer* printer = nullptr;
    // Full path of the archive file, worked out anew by each archive operation.
    std::function<QString()> archivePath;
    // Ends the application at once; unset, it leaves the event loop.
    std::function<void()> exitApplication;

    void endApplication() const;
};
