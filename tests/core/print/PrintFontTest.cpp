// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PrintFont.h"

#include <QGuiApplication>
#include <QTest>

using namespace Qt::StringLiterals;

// The check made at start-up: does "Arial" resolve to a face with Arial's widths?
class PrintFontTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metricCompatibleFaces_data();
    void metricCompatibleFaces();
    void thisSystemResolvesArial();
    void messageNamesThePackage();
};

void PrintFontTest::metricCompatibleFaces_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<bool>("compatible");

    QTest::newRow("Arial itself") << u"Arial"_s << true;
    QTest::newRow("Liberation Sans") << u"Liberation Sans"_s << true;
    QTest::newRow("Arimo") << u"Arimo"_s << true;
    QTest::newRow("Arimo with its foundry") << u"Arimo [GOOG]"_s << true;
    QTest::newRow("lower case from a configuration") << u"liberation sans"_s << true;
    QTest::newRow("DejaVu Sans, the usual fallback") << u"DejaVu Sans"_s << false;
    QTest::newRow("Liberation Sans Narrow, narrower") << u"Liberation Sans Narrow"_s << false;
    QTest::newRow("Liberation Serif, Times's widths") << u"Liberation Serif"_s << false;
    QTest::newRow("Arial Black, wider") << u"Arial Black"_s << false;
    QTest::newRow("nothing resolved") << QString() << false;
}

void PrintFontTest::metricCompatibleFaces()
{
    QFETCH(QString, family);
    QFETCH(bool, compatible);
    QCOMPARE(IsArialMetricCompatible(family), compatible);
}

void PrintFontTest::thisSystemResolvesArial()
{
    // The test machines install fonts-liberation, as the package does.
    const QString family = ResolvedArialFamily();
    QVERIFY2(IsArialMetricCompatible(family), qPrintable(family));
}

void PrintFontTest::messageNamesThePackage()
{
    const QString message = ArialMissingMessage(u"DejaVu Sans"_s);
    QVERIFY2(message.contains(u"fonts-liberation"_s), qPrintable(message));
    QVERIFY2(message.contains(u"DejaVu Sans"_s), qPrintable(message));
    QVERIFY2(message.contains(u"Arial"_s), qPrintable(message));
}

QTEST_MAIN(PrintFontTest)
#include "PrintFontTest.moc"
