// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/CupsPrinter.h"
#include "PdfReadBack.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "core/print/SlipLayout.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

PageComposer slipPage(int* composed = nullptr, QImage euro = QImage(u":/euro.png"_s),
                      SlipModel model = SlipModel::TwoFrame)
{
    return [composed, euro, model](PrintSurface& page) {
        if (composed)
            ++*composed;
        DrawSlipModel(page, model, SampleSlip(), true, euro);
    };
}

bool isPdf(const QString& path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) && file.read(5) == "%PDF-";
}

// Sets an environment variable for the life of the object, then puts back what was there.
class ScopedEnvironment
{
public:
    ScopedEnvironment(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnvironment()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

// Whether CUPS's library is mapped into this process.
bool cupsMapped()
{
    QFile maps(u"/proc/self/maps"_s);
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libcups.so.");
}

// The jobs a queue of the private CUPS holds that are not finished, one line each.
QStringList waitingJobs(const QString& queue)
{
    QProcess lpstat;
    lpstat.start(u"lpstat"_s, {u"-o"_s, queue});
    lpstat.waitForFinished(30000);
    return QString::fromLocal8Bit(lpstat.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

void cancelAllJobs(const QString& queue)
{
    QProcess::execute(u"cancel"_s, {u"-a"_s, queue});
}

} // namespace

// The CUPS printer: without a CUPS to talk to, on the queues of the private CUPS that scripts/test
// starts as root (a default queue that prints, one that refuses jobs, a stopped one whose
// printable area is smaller than the sheet), and PDF files.
class CupsPrinterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cupsLibraryLoadsWithTheFirstJob();
    void unreachableCupsDrawsNothing();
    void savePageAsPdf_data();
    void savePageAsPdf();

    void defaultPrinterMissing();
    void jobFates_data();
    void jobFates();
    void pageDrawnWithinTheQueuesMargins();
    void documentOfSeveralPagesIsOneJob();
    void cancelledDocumentSendsNothing();

private:
    // Whether the private CUPS (and the queue) is there; skips the test when not, and the test
    // must then return, since a skip inside a helper does not end its caller.
    bool needPrivateCups(const char* queueVariable = nullptr);

    QTemporaryDir m_directory;
};

void CupsPrinterTest::initTestCase()
{
    QVERIFY(m_directory.isValid());
    qunsetenv("LPDEST");
    qunsetenv("PRINTER");
}

bool CupsPrinterTest::needPrivateCups(const char* queueVariable)
{
    const auto skip = [](const char* why) {
        QTest::qSkip(why, __FILE__, __LINE__);
        return false;
    };
    if (qEnvironmentVariableIsEmpty("CUPS_SERVER") || qEnvironmentVariableIsEmpty("CEDOLARIO_CUPS_PDF_DIR"))
        return skip("No private CUPS was started (./scripts/test starts one when run as root)");
    if (queueVariable && qEnvironmentVariableIsEmpty(queueVariable))
        return skip("The private CUPS has no such queue");
    return true;
}

// Starting costs nothing of CUPS: its library (and the TLS and Kerberos ones it brings) comes with the
// first job, and the job is then handled as before.
void CupsPrinterTest::cupsLibraryLoadsWithTheFirstJob()
{
    QVERIFY(!cupsMapped());
    const ScopedEnvironment server("CUPS_SERVER", m_directory.filePath(u"no-cups.sock"_s).toLocal8Bit());
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    const PrintOutcome outcome = printer.printPage(slipPage(), PrintTarget{u"cedolario-test"_s, 1});
    QCOMPARE(outcome.status, PrintOutcome::Failed);
    QVERIFY2(outcome.errorText.contains(u"non risponde"_s), qPrintable(outcome.errorText));
    QVERIFY(cupsMapped());
}

void CupsPrinterTest::unreachableCupsDrawsNothing()
{
    // A CUPS server that does not exist: the machine's own printers stay out of this test.
    const ScopedEnvironment server("CUPS_SERVER", m_directory.filePath(u"no-cups.sock"_s).toLocal8Bit());
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    int composed = 0;

    // The default printer: as good as none, and the user is told why.
    PrintOutcome outcome = printer.printPage(slipPage(&composed));
    QCOMPARE(outcome.status, PrintOutcome::NoPrinter);
    QVERIFY2(outcome.errorText.contains(u"CUPS"_s) && outcome.errorText.contains(u"non risponde"_s),
             qPrintable(outcome.errorText));

    // A printer chosen by name: the job failed.
    outcome = printer.printPage(slipPage(&composed), PrintTarget{u"cedolario-test"_s, 1});
    QCOMPARE(outcome.status, PrintOutcome::Failed);
    QVERIFY2(outcome.errorText.contains(u"non risponde"_s), qPrintable(outcome.errorText));

    QCOMPARE(composed, 0);
    QCOMPARE(dialog.asked, 0);
}

void CupsPrinterTest::savePageAsPdf_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("withEuro");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("file chosen") << u"slip.pdf"_s << true << int(PrintOutcome::Done) << QString();
    QTest::newRow("dialog cancelled") << QString() << true << int(PrintOutcome::Cancelled) << QString();
    QTest::newRow("folder that does not exist")
        << u"missing/slip.pdf"_s << true << int(PrintOutcome::Failed) << u"impossibile scrivere"_s;
    // Nothing is left of a page that could not be drawn whole.
    QTest::newRow("page without its euro mark")
        << u"no-euro.pdf"_s << false << int(PrintOutcome::Failed) << u"euro"_s;
}

void CupsPrinterTest::savePageAsPdf()
{
    QFETCH(QString, answer);
    QFETCH(bool, withEuro);
    QFETCH(int, status);
    QFETCH(QString, errorPart);

    const QString path = answer.isEmpty() ? QString() : m_directory.filePath(answer);
    ScriptedSaveFileDialog dialog(path);
    CupsPrinter printer(dialog);
    const PrintOutcome outcome =
        printer.savePageAsPdf(slipPage(nullptr, withEuro ? QImage(u":/euro.png"_s) : QImage()));
    QCOMPARE(int(outcome.status), status);
    QCOMPARE(dialog.asked, 1);
    QVERIFY2(outcome.errorText.contains(errorPart), qPrintable(outcome.errorText));
    QCOMPARE(isPdf(path), status == PrintOutcome::Done);
}

void CupsPrinterTest::defaultPrinterMissing()
{
    if (!needPrivateCups())
        return;
    // The user's default names a queue that is gone: there is no default printer, and the variable
    // that names it is said.
    const ScopedEnvironment printerVariable("PRINTER", "cedolario-gone");
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    int composed = 0;
    const PrintOutcome outcome = printer.printPage(slipPage(&composed));
    QCOMPARE(outcome.status, PrintOutcome::NoPrinter);
    QCOMPARE(outcome.errorText, u"la stampante «cedolario-gone» indicata da PRINTER non esiste"_s);
    QCOMPARE(composed, 0);
}

void CupsPrinterTest::jobFates_data()
{
    QTest::addColumn<QByteArray>("queueVariable");
    QTest::addColumn<QString>("queue");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("errorParts");
    QTest::addColumn<int>("composedTimes");

    QTest::newRow("default queue prints")
        << QByteArray() << QString() << int(PrintOutcome::Done) << QStringList{} << 1;
    QTest::newRow("queue that refuses jobs")
        << QByteArray("CEDOLARIO_CUPS_REFUSING") << QString() << int(PrintOutcome::Failed)
        << QStringList{u"\u00abcedolario-refuses\u00bb"_s, u"non accetta lavori"_s} << 1;
    QTest::newRow("stopped printer keeps the job waiting")
        << QByteArray("CEDOLARIO_CUPS_STOPPED") << QString() << int(PrintOutcome::Waiting)
        << QStringList{u"\u00abcedolario-stopped\u00bb"_s, u"ferma"_s, u"attende"_s} << 1;
    QTest::newRow("instance whose jobs are held")
        << QByteArray("CEDOLARIO_CUPS_PDF_DIR") << u"cedolario-test/trattenuti"_s
        << int(PrintOutcome::Waiting) << QStringList{u"\u00abcedolario-test\u00bb"_s, u"trattenuto"_s} << 1;
    QTest::newRow("printer that does not exist")
        << QByteArray() << u"cedolario-nowhere"_s << int(PrintOutcome::Failed)
        << QStringList{u"\u00abcedolario-nowhere\u00bb"_s, u"non \u00e8 disponibile"_s} << 0;
}

void CupsPrinterTest::jobFates()
{
    QFETCH(QByteArray, queueVariable);
    QFETCH(QString, queue);
    QFETCH(int, status);
    QFETCH(QStringList, errorParts);
    QFETCH(int, composedTimes);

    if (!needPrivateCups(queueVariable.isEmpty() ? nullptr : queueVariable.constData()))
        return;
    if (queueVariable.startsWith("CEDOLARIO_CUPS_") && queue.isEmpty())
        queue = qEnvironmentVariable(queueVariable.constData());
    if (queue.contains(u'/')) {
        // The user's instance of the queue, in this test run's own home: every job held.
        QCOMPARE(QProcess::execute(u"lpoptions"_s, {u"-p"_s, queue, u"-o"_s, u"job-hold-until=indefinite"_s}),
                 0);
    }

    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    int composed = 0;
    int submitted = 0;
    printer.setSubmissionObserver([&](const QByteArray&, const SheetMargins&) { ++submitted; });
    const PrintOutcome outcome = printer.printPage(slipPage(&composed), PrintTarget{queue, 1});
    if (!queueVariable.isEmpty())
        cancelAllJobs(queue.section(u'/', 0, 0));
    if (queue.contains(u'/'))
        QProcess::execute(u"lpoptions"_s, {u"-x"_s, queue});

    QCOMPARE(int(outcome.status), status);
    for (const QString& part : errorParts)
        QVERIFY2(outcome.errorText.contains(part), qPrintable(outcome.errorText));
    if (errorParts.isEmpty())
        QCOMPARE(outcome.errorText, QString());
    // Composed once, never a dry run before the real one.
    QCOMPARE(composed, composedTimes);
    QCOMPARE(submitted, composedTimes);
    QCOMPARE(dialog.asked, 0);
}

void CupsPrinterTest::pageDrawnWithinTheQueuesMargins()
{
    if (!needPrivateCups("CEDOLARIO_CUPS_STOPPED"))
        return;
    const QString queue = qEnvironmentVariable("CEDOLARIO_CUPS_STOPPED");
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    QByteArray pdf;
    SheetMargins margins;
    printer.setSubmissionObserver([&](const QByteArray& document, const SheetMargins& used) {
        pdf = document;
        margins = used;
    });
    const PrintOutcome outcome = printer.printPage(slipPage(), PrintTarget{queue, 1});
    cancelAllJobs(queue);
    QCOMPARE(outcome.status, PrintOutcome::Waiting);

    // The queue's portrait A4 leaves 12 points (4.23 mm) on the left, right and top and 24 points
    // (8.47 mm) at the foot. On the landscape page, turned a quarter anticlockwise on the sheet,
    // the foot of the sheet is the page's left edge.
    QVERIFY2(qAbs(margins.left() - 8.47) <= 0.01, qPrintable(QString::number(margins.left())));
    QVERIFY2(qAbs(margins.top() - 4.23) <= 0.01, qPrintable(QString::number(margins.top())));
    QVERIFY2(qAbs(margins.right() - 4.23) <= 0.01, qPrintable(QString::number(margins.right())));
    QVERIFY2(qAbs(margins.bottom() - 4.23) <= 0.01, qPrintable(QString::number(margins.bottom())));

    // The rows of the 2 frame model, from the printable area's corner: 0.847 cm right, 0.423 cm down.
    const QString path = m_directory.filePath(u"submitted.pdf"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size());
    file.close();
    QCOMPARE(PdfPageCount(path), 1);
    QString error;
    const QList<PdfWord> words = PdfWords(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const struct {
        const char16_t* text;
        double x, y;
    } rows[] = {{u"CONTI", 0.2 + 0.847, 0.1 + 0.423},
                {u"AVVERTENZE", 2.7 + 0.847, 6.5 + 0.423},
                {u"Mario", 18.9 + 0.847, 5.1 + 0.423},
                {u"00001234+50>", 21.5 + 0.847, 9.1 + 0.423}};
    for (const auto& row : rows) {
        QStringList seen;
        QVERIFY2(FindPdfWord(words, QString::fromUtf16(row.text), row.x, row.y, 0.02, &seen),
                 qPrintable(QString::fromUtf16(row.text) + u" at "_s + seen.join(u", "_s)));
    }
}

void CupsPrinterTest::documentOfSeveralPagesIsOneJob()
{
    if (!needPrivateCups("CEDOLARIO_CUPS_STOPPED"))
        return;
    const QString queue = qEnvironmentVariable("CEDOLARIO_CUPS_STOPPED");
    cancelAllJobs(queue);
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    QByteArray pdf;
    printer.setSubmissionObserver([&](const QByteArray& document, const SheetMargins&) { pdf = document; });
    const QImage euro(u":/euro.png"_s);
    const QStringList payers{u"Primo"_s, u"Secondo"_s, u"Terzo"_s};
    DocumentComposer document{int(payers.size()),
                              [&](PrintSurface& page, int index) {
                                  SlipTexts fields = SampleSlip();
                                  fields[PayerName] = payers[index];
                                  DrawSlipModel(page, SlipModel::Premarcati, fields, true, euro);
                              },
                              {}};
    const PrintOutcome outcome = printer.printDocument(document, PrintTarget{queue, 1});
    QCOMPARE(outcome.status, PrintOutcome::Waiting);
    QCOMPARE(waitingJobs(queue).size(), 1);
    cancelAllJobs(queue);

    const QString path = m_directory.filePath(u"document.pdf"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(pdf) == pdf.size());
    file.close();
    QCOMPARE(PdfPageCount(path), 3);
    QString error;
    const QList<PdfWord> words = PdfWords(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    for (int page = 0; page < 3; ++page) {
        // The payer's name on the premarcati model: 15.6, 4.2 from the printable area's corner.
        const PdfWord* payer = FindPdfWord(words, payers[page], 15.6 + 0.847, 4.2 + 0.423, 0.02);
        QVERIFY2(payer, qPrintable(payers[page]));
        QCOMPARE(payer->page, page);
    }
}

void CupsPrinterTest::cancelledDocumentSendsNothing()
{
    if (!needPrivateCups("CEDOLARIO_CUPS_STOPPED"))
        return;
    const QString queue = qEnvironmentVariable("CEDOLARIO_CUPS_STOPPED");
    cancelAllJobs(queue);
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    int submitted = 0;
    printer.setSubmissionObserver([&](const QByteArray&, const SheetMargins&) { ++submitted; });
    int drawn = 0;
    const QImage euro(u":/euro.png"_s);
    // The user stops the batch once the second of five pages is drawn.
    DocumentComposer document{5,
                              [&](PrintSurface& page, int) {
                                  ++drawn;
                                  DrawSlipModel(page, SlipModel::TwoFrame, SampleSlip(), true, euro);
                              },
                              [&] { return drawn >= 2; }};
    const PrintOutcome outcome = printer.printDocument(document, PrintTarget{queue, 1});
    QCOMPARE(outcome.status, PrintOutcome::Cancelled);
    QCOMPARE(drawn, 2);
    QCOMPARE(submitted, 0);
    QCOMPARE(waitingJobs(queue), QStringList());
}

QTEST_MAIN(CupsPrinterTest)
#include "CupsPrinterTest.moc"
