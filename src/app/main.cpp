#include "ui/Startup.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Startup startup;
    startup.start();
    return app.exec();
}
