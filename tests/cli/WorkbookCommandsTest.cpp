// SPDX-License-Identifier: GPL-3.0-or-later

// Workbooks on the command line, as scripts use them: the archive exported to .csv, .xlsx and .ods
// and read back to the same slips, files saved again by LibreOffice read to the same archive, and
// --foglio choosing the sheet.
#include "RunCedolario.h"
#include "cli/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommandLineRequest::Action)

namespace {

// The real binary, with its archive in dataHome.
Run cedolario(const QStringList& arguments, const QString& dataHome)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_DATA_HOME"_s, dataHome);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    return runCedolario(arguments, environment);
}

QByteArray archiveOf(const QString& dataHome)
{
    QFile file(dataHome + u"/cedolario/fillcp.dll"_s);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString fixture(const QString& name)
{
    return QStringLiteral(WORKBOOK_DATA_DIR "/") + name;
}

} // namespace

class WorkbookCommandsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sheetOption_data();
    void sheetOption();
    void roundTrip_data();
    void roundTrip();
    void missingSheetNamed();
};

void WorkbookCommandsTest::sheetOption_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLineRequest::Action>("action");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("path");
    QTest::newRow("import a chosen sheet")
        << QStringList{u"--importa"_s, u"a.xlsx"_s, u"--foglio"_s, u"Soci 2027"_s}
        << CommandLineRequest::Import << u"Soci 2027"_s << u"a.xlsx"_s;
    QTest::newRow("sheet before the command") << QStringList{u"--foglio=Foglio2"_s, u"--stampa"_s, u"a.ods"_s}
                                              << CommandLineRequest::Print << u"Foglio2"_s << u"a.ods"_s;
    QTest::newRow("export") << QStringList{u"--esporta"_s, u"b.xlsx"_s} << CommandLineRequest::Export
                            << QString() << u"b.xlsx"_s;
    QTest::newRow("sheet alone refused")
        << QStringList{u"--foglio"_s, u"X"_s} << CommandLineRequest::Invalid << QString() << QString();
    QTest::newRow("sheet with export refused")
        << QStringList{u"--esporta"_s, u"b.xlsx"_s, u"--foglio"_s, u"X"_s} << CommandLineRequest::Invalid
        << QString() << QString();
    QTest::newRow("sheet without a name refused") << QStringList{u"--importa"_s, u"a.xlsx"_s, u"--foglio"_s}
                                                  << CommandLineRequest::Invalid << QString() << QString();
    QTest::newRow("export without a file refused")
        << QStringList{u"--esporta"_s} << CommandLineRequest::Invalid << QString() << QString();
}

void WorkbookCommandsTest::sheetOption()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLineRequest::Action, action);
    QFETCH(QString, sheet);
    QFETCH(QString, path);
    const CommandLineRequest request = parseCommandLine(arguments);
    QCOMPARE(request.action, action);
    if (action == CommandLineRequest::Invalid) {
        QVERIFY(!request.error.isEmpty());
        return;
    }
    QCOMPARE(request.sheetName, sheet);
    QCOMPARE(request.csvPath, path);
}

void WorkbookCommandsTest::roundTrip_data()
{
    QTest::addColumn<QString>("saved"); // the archive's export once saved again by LibreOffice
    QTest::addColumn<QString>("exported");
    QTest::newRow("xlsx") << u"ritorno.xlsx"_s << u"bollettini.xlsx"_s;
    QTest::newRow("ods") << u"ritorno.ods"_s << u"bollettini.ods"_s;
    QTest::newRow("ods to csv") << u"ritorno.ods"_s << u"bollettini.csv"_s;
}

void WorkbookCommandsTest::roundTrip()
{
    QFETCH(QString, saved);
    QFETCH(QString, exported);
    QTemporaryDir dir;
    const QString first = dir.filePath(u"first"_s);
    const QString second = dir.filePath(u"second"_s);
    // The slips of docs/esempio.csv, dated 9 December 2026, as LibreOffice saved the export.
    Run run = cedolario({u"--importa"_s, fixture(saved)}, first);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"Bollettini aggiunti all'archivio"_s) &&
                 run.err.contains(u": 3; righe scartate: 0."_s),
             qPrintable(run.err));
    const QByteArray stored = archiveOf(first);
    QVERIFY(stored.contains("00184\r\n"));
    QVERIFY(stored.contains("12345678\r\n"));
    QVERIFY(stored.contains("35,00\r\n"));
    QVERIFY(stored.contains("17,50\r\n"));
    QVERIFY(stored.contains("Nicol\xF2 Ferr\xE8\r\n"));

    const QString file = dir.filePath(exported);
    run = cedolario({u"--esporta"_s, file}, first);
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(u"Bollettini esportati in "_s + QDir::toNativeSeparators(file) + u": 3."_s),
             qPrintable(run.err));
    run = cedolario({u"--importa"_s, file}, second);
    QCOMPARE(run.status, 0);
    QCOMPARE(archiveOf(second), stored);
}

void WorkbookCommandsTest::missingSheetNamed()
{
    QTemporaryDir dir;
    const Run run = cedolario(
        {u"--importa"_s, QStringLiteral(SAMPLE_DIR "/esempio.xlsx"), u"--foglio"_s, u"Soci"_s}, dir.path());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains(u"Il foglio «Soci» non c'è: i fogli del file sono «esempio»."_s),
             qPrintable(run.err));
    QVERIFY(archiveOf(dir.path()).isEmpty());
}

QTEST_GUILESS_MAIN(WorkbookCommandsTest)
#include "WorkbookCommandsTest.moc"
