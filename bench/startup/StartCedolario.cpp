// SPDX-License-Identifier: GPL-3.0-or-later

// Cedolario started as main() starts it, ended when the slip form has painted (the palette, shown
// during the form's load, has come up before it). The archive lies in the directory given as the only
// argument, so timing never touches the archive shared by the machine's users.
#include "FirstPaintExit.h"
#include "ui/Form1.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    FirstPaintExit exitOnPaint;
    const QDir archiveDirectory(QString::fromLocal8Bit(argv[1]));
    Startup startup([archiveDirectory] { return archiveDirectory.filePath(QStringLiteral("fillcp.dll")); });
    startup.start();
    exitOnPaint.watch(&startup.slip());
    return app.exec();
}
