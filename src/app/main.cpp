#include "archive/ArchivePath.h"
#include "platform/Clock.h"
#include "platform/QtMessageBoxes.h"
#include "platform/Services.h"
#include "slip/Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);

    QtMessageBoxes messages;
    SystemClock clock;
    Services services;
    services.messages = &messages;
    services.clock = &clock;
    services.archivePath = [] { return ArchivePath(); };

    Form1 slip(services);
    slip.load();
    slip.show();
    return app.exec();
}
