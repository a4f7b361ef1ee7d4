// SPDX-License-Identifier: GPL-3.0-or-later

// Reference launch: an empty Qt window, ended by its first paint.
#include "FirstPaintExit.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    FirstPaintExit exitOnPaint;
    QWidget window;
    window.resize(640, 480);
    window.show();
    return app.exec();
}
