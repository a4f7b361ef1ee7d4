#include "AppHarness.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "core/print/SlipLayout.h"
#include "platform/QtPrinter.h"
#include "ui/PictureButton.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
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

// Prints through the real printer path on the private CUPS that scripts/test starts as root,
// whose default printer writes PDF files.
class CupsPrintTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void onePageReachesTheQueue();
    void stampaButtonPrintsOnePage();

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
    QtPrinter printer(dialog);
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
    QtPrinter printer(dialog);
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
