// SPDX-License-Identifier: GPL-3.0-or-later

// Reference launch: a Qt widget application that connects to the display and ends without a window.
#include <QApplication>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::_Exit(0);
}
