#include "platform/QtPrinter.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "core/print/SlipLayout.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

PageComposer slipPage(int* composed = nullptr, QImage euro = QImage(u":/euro.png"_s))
{
    return [composed, euro](PrintSurface& page) {
        if (composed)
            ++*composed;
        DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, euro);
    };
}

bool isPdf(const QString& path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
}

} // namespace

// The Qt printer without a CUPS to talk to: no default printer, the printing step on a printer
// that writes a file, and the PDF file offered instead.
class QtPrinterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noDefaultPrinterDrawsNothing();
    void printOn_data();
    void printOn();
    void savePageAsPdf_data();
    void savePageAsPdf();

private:
    QTemporaryDir m_directory;
};

void QtPrinterTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    // A CUPS server that does not exist: the machine's own printers stay out of this test.
    qputenv("CUPS_SERVER", m_directory.filePath(u"no-cups.sock"_s).toLocal8Bit());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
}

void QtPrinterTest::noDefaultPrinterDrawsNothing()
{
    ScriptedSaveFileDialog dialog;
    QtPrinter printer(dialog);
    int composed = 0;
    const PrintOutcome outcome = printer.printPage(slipPage(&composed));
    QCOMPARE(outcome.status, PrintOutcome::NoPrinter);
    QCOMPARE(composed, 0);
    QCOMPARE(dialog.asked, 0);
}

void QtPrinterTest::printOn_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("withEuro");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("page completed") << u"page.pdf"_s << true << int(PrintOutcome::Done) << QString();
    QTest::newRow("printer that cannot begin")
        << u"missing/page.pdf"_s << true << int(PrintOutcome::Failed) << u"avviare"_s;
    QTest::newRow("page without its euro mark")
        << u"no-euro.pdf"_s << false << int(PrintOutcome::Failed) << u"euro"_s;
}

void QtPrinterTest::printOn()
{
    QFETCH(QString, file);
    QFETCH(bool, withEuro);
    QFETCH(int, status);
    QFETCH(QString, errorPart);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_directory.filePath(file));
    if (status == PrintOutcome::Failed && withEuro)
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
    const PrintOutcome outcome =
        QtPrinter::printOn(printer, slipPage(nullptr, withEuro ? QImage(u":/euro.png"_s) : QImage()));
    QCOMPARE(int(outcome.status), status);
    QVERIFY2(outcome.errorText.contains(errorPart), qPrintable(outcome.errorText));
    if (status == PrintOutcome::Done) {
        QVERIFY(isPdf(m_directory.filePath(file)));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(printer.pageLayout().pageSize().id(), QPageSize::A4);
    }
}

void QtPrinterTest::savePageAsPdf_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("file chosen") << u"slip.pdf"_s << int(PrintOutcome::Done) << QString();
    QTest::newRow("dialog cancelled") << QString() << int(PrintOutcome::Cancelled) << QString();
    QTest::newRow("folder that does not exist")
        << u"missing/slip.pdf"_s << int(PrintOutcome::Failed) << u"impossibile scrivere"_s;
}

void QtPrinterTest::savePageAsPdf()
{
    QFETCH(QString, answer);
    QFETCH(int, status);
    QFETCH(QString, errorPart);

    const QString path = answer.isEmpty() ? QString() : m_directory.filePath(answer);
    ScriptedSaveFileDialog dialog(path);
    QtPrinter printer(dialog);
    const PrintOutcome outcome = printer.savePageAsPdf(slipPage());
    QCOMPARE(int(outcome.status), status);
    QCOMPARE(dialog.asked, 1);
    QVERIFY2(outcome.errorText.contains(errorPart), qPrintable(outcome.errorText));
    QCOMPARE(isPdf(path), status == PrintOutcome::Done);
}

QTEST_MAIN(QtPrinterTest)
#include "QtPrinterTest.moc"
