// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/Startup.h"
#include "ScriptedMessageBoxes.h"
#include "ui/Form1.h"
#include "ui/Form2.h"
#include "ui/Session.h"

#include <QDir>
#include <QFile>
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

        // The windows' pictures are shown without a PNG decoded: Qt's first picture read loads every
        // image-format plugin installed, which the start then pays for.
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY2(!maps.readAll().contains("/imageformats/"), "an image-format plugin was loaded at start-up");
    }

    // Without a face of Arial's widths the user hears it once, with the package to install; with
    // one, nothing is said.
    void warnsOnceWithoutArialWidths_data()
    {
        QTest::addColumn<QString>("resolved");
        QTest::addColumn<bool>("told");
        QTest::newRow("Liberation Sans") << QStringLiteral("Liberation Sans") << false;
        QTest::newRow("Arimo") << QStringLiteral("Arimo") << false;
        QTest::newRow("DejaVu Sans in its place") << QStringLiteral("DejaVu Sans") << true;
    }
    void warnsOnceWithoutArialWidths()
    {
        QFETCH(QString, resolved);
        QFETCH(bool, told);
        ScriptedMessageBoxes messages;
        QCOMPARE(Startup::warnWithoutArialWidths(messages, resolved), told);
        QCOMPARE(messages.shown.size(), told ? 1 : 0);
        if (told) {
            QCOMPARE(messages.shown[0].kind, ScriptedMessageBoxes::Shown::Information);
            QVERIFY2(messages.shown[0].text.contains(QStringLiteral("fonts-liberation")),
                     qPrintable(messages.shown[0].text));
            QVERIFY2(messages.shown[0].text.contains(resolved), qPrintable(messages.shown[0].text));
        }
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
