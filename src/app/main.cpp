// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/CommandLine.h"
#include "platform/PlatformChoice.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

int main(int argc, char* argv[])
{
    QStringList arguments;
    QList<QByteArray> argumentBytes;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
        argumentBytes.append(QByteArray(argv[i]));
    }
    // Read before any application object exists: a command without windows runs offscreen, and a
    // wrong command line opens nothing.
    const CommandLineRequest request = parseCommandLine(arguments);
    if (request.action != CommandLineRequest::StartWindows)
        return runCommandLineApplication(argc, argv, request, &Startup::systemArchivePath);

    if (displayMissing(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"),
                       argumentBytes)) {
        std::fputs(qUtf8Printable(QStringLiteral(
                       "Non c'\u00e8 uno schermo su cui aprire le finestre: DISPLAY non \u00e8 impostata.\n"
                       "Per i comandi senza finestre: cedolario --help\n")),
                   stderr);
        return ExitUsage;
    }

    // Under Wayland the pair of windows runs through XWayland unless the user chose a platform.
    if (const std::optional<QByteArray> platform = platformToRequest(
            qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"), argumentBytes))
        qputenv("QT_QPA_PLATFORM", *platform);

    QApplication app(argc, argv);
    Startup startup;
    startup.start();
    return app.exec();
}
