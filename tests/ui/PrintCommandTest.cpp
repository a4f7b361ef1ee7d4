// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "CapturingPrinter.h"
#include "SampleSlip.h"
#include "ui/PictureButton.h"

#include <QFile>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PaletteState)

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

void clickPrint(Form2& palette)
{
    QTest::mouseClick(palette.Image2[Form2::PrintButton], Qt::LeftButton);
}

} // namespace

// The "stampa" button: the page the printer receives, the messages, and the archive left alone.
class PrintCommandTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void printsTheSelectedModel_data();
    void printsTheSelectedModel();
    void printingTwiceGivesTheSamePage();
    void printerOutcomes_data();
    void printerOutcomes();
};

void PrintCommandTest::printsTheSelectedModel_data()
{
    QTest::addColumn<PaletteState>("state");
    QTest::addColumn<int>("calls"); // -1: no page reaches the printer
    QTest::addColumn<QString>("expectedRow");
    QTest::addColumn<QString>("absentRow");

    // PageSetUp, the model's rows, EndDocument. The sample reason fits on one line in 2 frame
    // (0.2 cm a character, 6.0 cm) and takes two in the premarcati receipt part (limit 5.5).
    QTest::newRow("2 frame with the code line")
        << PaletteState{false, true, CheckBoxState::Ticked} << 66
        << u"PrintAt 21.50 9.10 11 bold black |00001234+50>|"_s << QString();
    QTest::newRow("2 frame without the code line") << PaletteState{false, true, CheckBoxState::Unticked} << 63
                                                   << u"PrintAt 13.10 1.55 11 bold black |TD    123|"_s
                                                   << u"PrintAt 21.50 9.10 11 bold black |00001234+50>|"_s;
    QTest::newRow("premarcati with the code line") << PaletteState{true, false, CheckBoxState::Ticked} << 56
                                                   << u"DrawFilledBox 0.05 0.05 24.65 0.55"_s << QString();
    QTest::newRow("neither model: nothing printed")
        << PaletteState{false, false, CheckBoxState::Ticked} << -1 << QString() << QString();
}

void PrintCommandTest::printsTheSelectedModel()
{
    QFETCH(PaletteState, state);
    QFETCH(int, calls);
    QFETCH(QString, expectedRow);
    QFETCH(QString, absentRow);

    AppHarness app;
    CapturingPrinter& printer = app.printer;
    // An empty archive: a save would append a record to it.
    const QString archive = app.services.archivePath();
    QFile emptyArchive(archive);
    QVERIFY(emptyArchive.open(QIODevice::WriteOnly));
    emptyArchive.close();
    Form1& form = app.start();
    form.setFields(SampleSlip());
    app.palette().setPaletteState(state);

    clickPrint(app.palette());

    QVERIFY(app.messages.shown.isEmpty());
    QCOMPARE(fileBytes(archive), QByteArray());
    QVERIFY(printer.pdfPages.empty());
    if (calls < 0) {
        QVERIFY(printer.printedPages.empty());
        return;
    }
    QCOMPARE(printer.printedPages.size(), std::size_t(1));
    const QStringList page = printer.printedPages.front();
    QCOMPARE(page.size(), calls);
    QCOMPARE(page.first(), u"PageSetUp"_s);
    QCOMPARE(page.last(), u"EndDocument"_s);
    QVERIFY2(page.contains(expectedRow), qPrintable(expectedRow));
    if (!absentRow.isEmpty())
        QVERIFY(!page.contains(absentRow));
    // The palette's own euro picture is drawn.
    QVERIFY(page.filter(u"DrawPicture"_s).first().endsWith(u"84x84"_s));
}

void PrintCommandTest::printingTwiceGivesTheSamePage()
{
    AppHarness app;
    CapturingPrinter& printer = app.printer;
    Form1& form = app.start();
    form.setFields(SampleSlip());
    clickPrint(app.palette());
    clickPrint(app.palette());
    QCOMPARE(printer.printedPages.size(), std::size_t(2));
    QCOMPARE(printer.printedPages[1], printer.printedPages[0]);
    // Typing between prints changes the next page: nothing is kept from the first one.
    form.setFieldText(PayerName, u"Anna Bianchi"_s);
    clickPrint(app.palette());
    QVERIFY(printer.printedPages[2].contains(u"PrintAt 18.90 5.10 9 bold black |Anna Bianchi|"_s));
}

void PrintCommandTest::printerOutcomes_data()
{
    QTest::addColumn<int>("printStatus");
    QTest::addColumn<QString>("printError");
    QTest::addColumn<int>("pdfStatus");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("pdfPages");

    const QString question =
        u"Il bollettino non \u00e8 stato stampato: non c'\u00e8 una stampante predefinita.\n"
        "Vuoi salvarlo come file PDF?"_s;
    QTest::newRow("printed: nothing to say")
        << int(PrintOutcome::Done) << QString() << int(PrintOutcome::Done) << QList<bool>{} << QStringList{}
        << 0;
    QTest::newRow("job failed: reported, no file offered")
        << int(PrintOutcome::Failed) << u"la stampante ha segnalato un errore"_s << int(PrintOutcome::Done)
        << QList<bool>{}
        << QStringList{u"La stampa non \u00e8 riuscita: la stampante ha segnalato un errore.\n"
                       "Il bollettino non \u00e8 stato stampato."_s}
        << 0;
    QTest::newRow("no printer, PDF wanted and saved")
        << int(PrintOutcome::NoPrinter) << QString() << int(PrintOutcome::Done) << QList<bool>{true}
        << QStringList{question} << 1;
    QTest::newRow("no printer, PDF not wanted")
        << int(PrintOutcome::NoPrinter) << QString() << int(PrintOutcome::Done) << QList<bool>{false}
        << QStringList{question} << 0;
    QTest::newRow("no printer, file dialog cancelled")
        << int(PrintOutcome::NoPrinter) << QString() << int(PrintOutcome::Cancelled) << QList<bool>{true}
        << QStringList{question} << 0;
    QTest::newRow("no printer, PDF not written")
        << int(PrintOutcome::NoPrinter) << QString() << int(PrintOutcome::Failed) << QList<bool>{true}
        << QStringList{question,
                       u"Il file PDF non \u00e8 stato salvato: la stampante ha segnalato un errore."_s}
        << 1;
    QTest::newRow("CUPS not answering: said so, PDF offered")
        << int(PrintOutcome::NoPrinter) << u"il servizio di stampa (CUPS) non risponde"_s
        << int(PrintOutcome::Done) << QList<bool>{false}
        << QStringList{u"Il bollettino non \u00e8 stato stampato: il servizio di stampa (CUPS) non "
                       u"risponde.\n"
                       "Vuoi salvarlo come file PDF?"_s}
        << 0;
    QTest::newRow("stopped printer: the job waits, no file offered")
        << int(PrintOutcome::Waiting)
        << u"la stampante \u00abufficio\u00bb \u00e8 ferma e il lavoro attende nella sua coda"_s
        << int(PrintOutcome::Done) << QList<bool>{}
        << QStringList{u"Il bollettino non \u00e8 ancora stato stampato: la stampante \u00abufficio\u00bb "
                       u"\u00e8 ferma e il "
                       "lavoro attende nella sua coda.\nSar\u00e0 stampato quando la stampante "
                       "riprender\u00e0 a "
                       "funzionare."_s}
        << 0;
}

void PrintCommandTest::printerOutcomes()
{
    QFETCH(int, printStatus);
    QFETCH(QString, printError);
    QFETCH(int, pdfStatus);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, messages);
    QFETCH(int, pdfPages);

    AppHarness app;
    CapturingPrinter& printer = app.printer;
    const QString error = u"la stampante ha segnalato un errore"_s;
    printer.printOutcome = {PrintOutcome::Status(printStatus), printError};
    printer.pdfOutcome = {PrintOutcome::Status(pdfStatus), error};
    app.start().setFields(SampleSlip());
    app.messages.answers = answers;

    clickPrint(app.palette());

    QCOMPARE(app.messages.texts(), messages);
    QCOMPARE(int(printer.pdfPages.size()), pdfPages);
    if (pdfPages == 1)
        QCOMPARE(printer.pdfPages.front().size(), 66);
}

QTEST_MAIN(PrintCommandTest)
#include "PrintCommandTest.moc"
