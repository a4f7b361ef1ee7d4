// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "core/print/SlipLayout.h"
#include "platform/CupsPrinter.h"
#include "ui/PictureButton.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The PDF files in the queue's output directory, with their modification times.
QHash<QString, QDateTime> pdfFiles(const QDir& directory)
{
    QHash<QString, QDateTime> files;
    for (const QFileInfo& info : directory.entryInfoList({u"*.pdf"_s}, QDir::Files))
        files.insert(info.absoluteFilePath(), info.lastModified());
    return files;
}

int pageCount(const QString& pdf)
{
    QProcess process;
    process.start(u"pdfinfo"_s, {pdf});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return -1;
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString& line : info.split(u'\n')) {
        if (line.startsWith(u"Pages:"_s))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

} // namespace

// Prints through the real printer path and the real "stampa" button on the private CUPS that
// scripts/test starts as root: its default printer writes PDF files, one queue refuses jobs and
// one is stopped.
class CupsPrintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onePageReachesTheQueue();
    void stampaButtonPrintsOnePage();
    void stampaButtonOnAQueueThatCannotPrint_data();
    void stampaButtonOnAQueueThatCannotPrint();

private:
    // Waits for a PDF that is new or rewritten since before and reads whole; its page count.
    // The file is removed.
    int arrivedPages(const QHash<QString, QDateTime>& before);
};

void CupsPrintTest::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_PDF_DIR") || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        QSKIP("No private CUPS was started (./scripts/test starts one when run as root)");
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
}

void CupsPrintTest::onePageReachesTheQueue()
{
    const QDir output(qEnvironmentVariable("CEDOLARIO_CUPS_PDF_DIR"));
    const QHash<QString, QDateTime> before = pdfFiles(output);

    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    const QImage euro(u":/euro.png"_s);
    const PrintOutcome outcome = printer.printPage(
        [&](PrintSurface& page) { DrawSlipModel(page, SlipModel::Premarcati, SampleSlip(), true, euro); });
    QCOMPARE(outcome.status, PrintOutcome::Done);
    QCOMPARE(dialog.asked, 0);

    QCOMPARE(arrivedPages(before), 1);
}

void CupsPrintTest::stampaButtonPrintsOnePage()
{
    const QDir output(qEnvironmentVariable("CEDOLARIO_CUPS_PDF_DIR"));
    const QHash<QString, QDateTime> before = pdfFiles(output);

    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    AppHarness app({.printer = &printer});
    Form1& form = app.start();
    form.setFields(SampleSlip());
    const auto archiveBytes = [&] {
        QFile file(app.services.archivePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
    };
    const QByteArray archiveBefore = archiveBytes();

    QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);

    QVERIFY2(app.messages.shown.isEmpty(), qPrintable(app.messages.texts().join(u'\n')));
    QCOMPARE(dialog.asked, 0);
    QCOMPARE(arrivedPages(before), 1);
    QCOMPARE(archiveBytes(), archiveBefore);
}

void CupsPrintTest::stampaButtonOnAQueueThatCannotPrint_data()
{
    QTest::addColumn<QByteArray>("queueVariable");
    QTest::addColumn<bool>("cupsAway");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("jobsLeftWaiting");

    QTest::newRow("queue that refuses jobs")
        << QByteArray("CEDOLARIO_CUPS_REFUSING") << false << int(ScriptedMessageBoxes::Shown::Critical)
        << u"La stampa non \u00e8 riuscita: la stampante \u00abcedolario-refuses\u00bb in questo momento non "
           "accetta lavori: \u00abCoda chiusa per la prova\u00bb.\nIl bollettino non \u00e8 stato stampato."_s
        << 0;
    QTest::newRow("stopped printer") << QByteArray("CEDOLARIO_CUPS_STOPPED") << false
                                     << int(ScriptedMessageBoxes::Shown::Information)
                                     << u"Il bollettino non \u00e8 ancora stato stampato: la stampante "
                                        u"\u00abcedolario-stopped\u00bb \u00e8 "
                                        "ferma: \u00abStampante ferma per la prova\u00bb e il lavoro attende "
                                        "nella sua coda.\nSar\u00e0 stampato "
                                        "quando la stampante riprender\u00e0 a "
                                        "funzionare."_s
                                     << 1;
    QTest::newRow("CUPS not answering") << QByteArray() << true << int(ScriptedMessageBoxes::Shown::Question)
                                        << u"Il bollettino non \u00e8 stato stampato: il servizio di "
                                           u"stampa (CUPS) non risponde.\nVuoi salvarlo "
                                           "come file PDF?"_s
                                        << 0;
}

void CupsPrintTest::stampaButtonOnAQueueThatCannotPrint()
{
    QFETCH(QByteArray, queueVariable);
    QFETCH(bool, cupsAway);
    QFETCH(int, kind);
    QFETCH(QString, message);
    QFETCH(int, jobsLeftWaiting);

    QString queue;
    if (!queueVariable.isEmpty()) {
        queue = qEnvironmentVariable(queueVariable.constData());
        if (queue.isEmpty())
            QSKIP("The private CUPS has no such queue");
        QProcess::execute(u"cancel"_s, {u"-a"_s, queue});
    }
    // The queue is chosen as a user chooses it, through PRINTER.
    const QByteArray server = qgetenv("CUPS_SERVER");
    QTemporaryDir nowhere;
    if (cupsAway)
        qputenv("CUPS_SERVER", nowhere.filePath(u"no-cups.sock"_s).toLocal8Bit());
    else
        qputenv("PRINTER", queue.toLocal8Bit());
    const auto restore = qScopeGuard([&] {
        qputenv("CUPS_SERVER", server);
        qunsetenv("PRINTER");
    });

    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    AppHarness app({.printer = &printer});
    app.start().setFields(SampleSlip());
    app.messages.answers = {false};

    QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);

    QCOMPARE(app.messages.texts(), QStringList{message});
    QCOMPARE(int(app.messages.shown.front().kind), kind);
    QCOMPARE(dialog.asked, 0);
    if (!queue.isEmpty()) {
        QProcess lpstat;
        lpstat.start(u"lpstat"_s, {u"-o"_s, queue});
        QVERIFY(lpstat.waitForFinished(30000));
        const QStringList jobs =
            QString::fromLocal8Bit(lpstat.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QProcess::execute(u"cancel"_s, {u"-a"_s, queue});
        QCOMPARE(jobs.size(), jobsLeftWaiting);
    }
}

int CupsPrintTest::arrivedPages(const QHash<QString, QDateTime>& before)
{
    const QDir output(qEnvironmentVariable("CEDOLARIO_CUPS_PDF_DIR"));
    // cups-pdf writes the file while Ghostscript runs: wait for one that reads whole.
    QString arrived;
    const auto newPdfArrived = [&] {
        const QHash<QString, QDateTime> now = pdfFiles(output);
        for (auto it = now.cbegin(); it != now.cend(); ++it) {
            const bool isNew = !before.contains(it.key()) || before.value(it.key()) != it.value();
            if (isNew && pageCount(it.key()) >= 0) {
                arrived = it.key();
                return true;
            }
        }
        return false;
    };
    [&] { QTRY_VERIFY_WITH_TIMEOUT(newPdfArrived(), 120000); }();
    if (arrived.isEmpty())
        return -1;
    const int pages = pageCount(arrived);
    QFile::remove(arrived); // this test's own job
    return pages;
}

QTEST_MAIN(CupsPrintTest)
#include "CupsPrintTest.moc"
