#include "ui/Startup.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Session.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

class StartupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // main() shows the pair of windows under the name of the desktop entry that is installed.
    void showsThePairAsTheInstalledDesktopEntry()
    {
        QTemporaryDir directory;
        QVERIFY(directory.isValid());
        Startup startup([&directory] { return directory.filePath(QStringLiteral("fillcp.dll")); });
        startup.start();

        QVERIFY(QTest::qWaitForWindowExposed(&startup.slip()));
        QVERIFY(startup.session().palette().isVisible());
        QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("it.cedolario.Cedolario"));
        const QDir packaging(QStringLiteral(CEDOLARIO_PACKAGING_DIR));
        QVERIFY2(packaging.exists(QGuiApplication::desktopFileName() + QStringLiteral(".desktop")),
                 "no desktop entry of that name is installed");
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
