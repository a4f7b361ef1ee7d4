// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/CommandLine.h"
#include "platform/PlatformChoice.h"
#include "platform/ProgramArguments.h"
#include "ui/Startup.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    const ProgramArguments started = programArguments(argc, argv);
    const QList<QByteArray>& argumentBytes = started.bytes;
    // Read before any application object exists: a command without windows runs offscreen, and a
    // wrong command line opens nothing.
    const CommandLineRequest request = parseCommandLine(started.texts);
    if (request.action != CommandLineRequest::StartWindows) {
        writeToCallersConsole();
        return runCommandLineApplication(argc, argv, request, &Startup::systemArchivePath);
    }

    if (displayMissingHere(argumentBytes)) {
        std::fputs(qUtf8Printable(QStringLiteral(
                       "Non c'\u00e8 uno schermo su cui aprire le finestre: DISPLAY non \u00e8 impostata.\n"
                       "Per i comandi senza finestre: cedolario --help\n")),
                   stderr);
        return ExitUsage;
    }

    // Under Wayland the pair of windows runs through XWayland unless the user chose a platform.
    if (const std::optional<QByteArray> platform = platformToRequestHere(argumentBytes))
        qputenv("QT_QPA_PLATFORM", *platform);

    QApplication app(argc, argv);
    Startup startup;
    startup.start();
    return app.exec();
}
