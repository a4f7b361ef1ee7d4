// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/CommandLine.h"

#include "core/archive/ArchivePath.h"
#include "core/slip/Clock.h"
#include "platform/PlatformChoice.h"
#include "platform/SaveFileDialog.h"
#include "platform/SystemPrinter.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

int runCommandLineApplication(int argc, char* argv[], const CommandLineRequest& request,
                              std::function<QString()> archivePath)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    CommandLineWorld world;
    world.out = &out;
    world.err = &err;
    if (request.action == CommandLineRequest::Help || request.action == CommandLineRequest::Version ||
        request.action == CommandLineRequest::Invalid)
        return runCommandLine(request, world);

    // Fonts and PDF output need the application object; no window is ever shown, so it is the
    // offscreen platform: neither a missing display nor a platform asked for the windows
    // (QT_QPA_PLATFORM=xcb, -platform xcb) can stop a script. Qt's options are for the windows and
    // stay out of its argv.
    Q_UNUSED(argc);
    chooseOffscreenPlatform();
    int applicationArgc = 1;
    char* applicationArgv[] = {argv[0], nullptr};
    QApplication app(applicationArgc, applicationArgv);
    mapMetricCompatibleFaces();
    SystemClock clock;
    QtSaveFileDialog dialog;
    SystemPrinter printer(dialog);
    world.printer = &printer;
    world.clock = &clock;
    world.archivePath = std::move(archivePath);
    // Where the archive lies, when the shared directory had to be passed over, is said as the
    // windows say it.
    if (request.action == CommandLineRequest::Import && !ArchiveLocationOfThisRun().notice.isEmpty())
        err << ArchiveLocationOfThisRun().notice << '\n';
    return runCommandLine(request, world);
}
