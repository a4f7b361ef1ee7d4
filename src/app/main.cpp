#include "platform/BuildConfig.h"
#include "platform/Clock.h"
#include "platform/QtMessageBoxes.h"
#include "platform/QtPrinter.h"
#include "platform/SaveFileDialog.h"
#include "platform/Services.h"
#include "slip/Form1.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);

    QtMessageBoxes messages;
    SystemClock clock;
    QtSaveFileDialog saveDialog;
    QtPrinter printer(saveDialog);
    Services services;
    services.messages = &messages;
    services.clock = &clock;
    services.printer = &printer;
    services.archivePath = [] { return QDir(QString::fromUtf8(CEDOLARIO_SYSTEM_DIR)).filePath(QStringLiteral("fillcp.dll")); };

    Form1 slip(services);
    slip.load();
    slip.show();
    return app.exec();
}
