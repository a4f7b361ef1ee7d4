#include "cli/CommandLine.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLineRequest request = parseCommandLine(arguments);
    if (request.action != CommandLineRequest::StartWindows)
        return runCommandLineApplication(argc, argv, request, &Startup::systemArchivePath);

    QApplication app(argc, argv);
    Startup startup;
    startup.start();
    return app.exec();
}
