// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/PlatformChoice.h"

#include <QTest>

// Which platform the application asks Qt for, from the environment and the command line.
class PlatformChoiceTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void platformToRequest_data()
    {
        QTest::addColumn<QByteArray>("qtQpaPlatform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArray>("requested"); // empty: Qt chooses

        const QByteArrayList none;
        QTest::newRow("X11 session") << QByteArray() << QByteArray(":0") << QByteArray() << none
                                     << QByteArray("xcb");
        QTest::newRow("Wayland session with XWayland")
            << QByteArray() << QByteArray(":1") << QByteArray("wayland-0") << none
            << QByteArray("xcb;wayland");
        QTest::newRow("Wayland session without XWayland")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << none << QByteArray();
        QTest::newRow("no display at all")
            << QByteArray() << QByteArray() << QByteArray() << none << QByteArray();
        QTest::newRow("user chose wayland")
            << QByteArray("wayland") << QByteArray(":1") << QByteArray("wayland-0") << none << QByteArray();
        QTest::newRow("user chose offscreen")
            << QByteArray("offscreen") << QByteArray(":0") << QByteArray() << none << QByteArray();
        QTest::newRow("empty variable is no choice")
            << QByteArray("") << QByteArray(":0") << QByteArray() << none << QByteArray("xcb");
        QTest::newRow("-platform on the command line")
            << QByteArray() << QByteArray(":1") << QByteArray("wayland-0")
            << QByteArrayList{"-platform", "wayland"} << QByteArray();
        QTest::newRow("--platform on the command line")
            << QByteArray() << QByteArray(":1") << QByteArray("wayland-0")
            << QByteArrayList{"--platform", "wayland"} << QByteArray();
        QTest::newRow("other arguments are no choice")
            << QByteArray() << QByteArray(":0") << QByteArray()
            << QByteArrayList{"-style", "fusion", "wayland"} << QByteArray("xcb");
    }
    void platformToRequest()
    {
        QFETCH(QByteArray, qtQpaPlatform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArrayList, arguments);
        QFETCH(QByteArray, requested);
        const std::optional<QByteArray> result =
            ::platformToRequest(qtQpaPlatform, display, waylandDisplay, arguments);
        QCOMPARE(result.value_or(QByteArray()), requested);
        QCOMPARE(result.has_value(), !requested.isEmpty());
    }

    // Whether the windows would have no display to open on, where Qt would abort.
    void displayMissing_data()
    {
        QTest::addColumn<QByteArray>("qtQpaPlatform");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("waylandDisplay");
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<bool>("missing");

        const QByteArrayList none;
        QTest::newRow("X11 session") << QByteArray() << QByteArray(":0") << QByteArray() << none << false;
        QTest::newRow("Wayland session")
            << QByteArray() << QByteArray() << QByteArray("wayland-0") << none << false;
        QTest::newRow("no display, no choice")
            << QByteArray() << QByteArray() << QByteArray() << none << true;
        QTest::newRow("xcb asked without DISPLAY")
            << QByteArray("xcb") << QByteArray() << QByteArray("wayland-0") << none << true;
        QTest::newRow("xcb with its options, without DISPLAY")
            << QByteArray("xcb:nodpi") << QByteArray() << QByteArray() << none << true;
        QTest::newRow("xcb then wayland, wayland there")
            << QByteArray("xcb;wayland") << QByteArray() << QByteArray("wayland-0") << none << false;
        QTest::newRow("offscreen needs no display")
            << QByteArray("offscreen") << QByteArray() << QByteArray() << none << false;
        QTest::newRow("-platform xcb overrides offscreen")
            << QByteArray("offscreen") << QByteArray() << QByteArray() << QByteArrayList{"-platform", "xcb"}
            << true;
        QTest::newRow("--platform=offscreen overrides xcb")
            << QByteArray("xcb") << QByteArray() << QByteArray() << QByteArrayList{"--platform=offscreen"}
            << false;
    }
    void displayMissing()
    {
        QFETCH(QByteArray, qtQpaPlatform);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, waylandDisplay);
        QFETCH(QByteArrayList, arguments);
        QFETCH(bool, missing);
        QCOMPARE(::displayMissing(qtQpaPlatform, display, waylandDisplay, arguments), missing);
    }
};

QTEST_GUILESS_MAIN(PlatformChoiceTest)
#include "PlatformChoiceTest.moc"
