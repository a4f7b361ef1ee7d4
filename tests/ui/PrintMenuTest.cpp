// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "PdfReadBack.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "platform/SystemPrinter.h"
#include "ui/OverflowMark.h"
#include "ui/PictureButton.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PaletteState)

namespace {

const QString Anteprima = u"Anteprima di stampa"_s;
const QString StampaSu = u"Stampa su\u2026"_s;
const QString SalvaPdf = u"Salva come PDF\u2026"_s;

QAction* menuEntry(Form2& palette, const QString& text)
{
    for (QAction* action : palette.PaletteMenu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Runs a command as the user would: by its menu entry, or by its shortcut in the slip form.
void reach(AppHarness& app, const QString& entry, bool byShortcut)
{
    if (!byShortcut) {
        QAction* action = menuEntry(app.palette(), entry);
        QVERIFY(action);
        action->trigger();
        return;
    }
    QLineEdit* field = app.form->Text1[PayerName];
    field->setFocus();
    if (entry == Anteprima)
        QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    else
        QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
}

QString runTool(const QString& program, const QStringList& arguments)
{
    QString error;
    const QByteArray output = RunPdfTool(program, arguments, error);
    return error.isEmpty() ? QString::fromUtf8(output) : error;
}

} // namespace

// The print commands beyond the palette's buttons: where they are, what each runs, the question
// about texts too long for the slip, and the marks on the slip form while typing.
class PrintMenuTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void menuAndShortcuts();
    void commandsReached_data();
    void commandsReached();
    void overflowQuestion_data();
    void overflowQuestion();
    void marksWhileTyping();
    void wordsTypedOverAreMarkedAndAskedAbout();
    void pdfWrittenAndReadBack_data();
    void pdfWrittenAndReadBack();
};

// Right-click on the palette opens its menu, the three entries first and in this order; the two
// shortcuts are those of the desktop's print and of a preview.
void PrintMenuTest::menuAndShortcuts()
{
    AppHarness app;
    app.start();
    Form2& palette = app.palette();
    QStringList texts;
    for (QAction* action : palette.PaletteMenu->actions())
        texts.append(action->text());
    QCOMPARE(texts.mid(0, 3), (QStringList{Anteprima, StampaSu, SalvaPdf}));
    QCOMPARE(menuEntry(palette, Anteprima)->shortcut(), QKeySequence(u"Ctrl+Shift+P"_s));
    QCOMPARE(menuEntry(palette, StampaSu)->shortcut(), QKeySequence(u"Ctrl+P"_s));

    const QPoint inside(palette.width() / 2, 4);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, inside, palette.mapToGlobal(inside));
    QApplication::sendEvent(&palette, &rightClick);
    QTRY_VERIFY(palette.PaletteMenu->isVisible());
    palette.PaletteMenu->close();
}

void PrintMenuTest::commandsReached_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("byShortcut");
    QTest::addColumn<bool>("pressPrintInPreview");
    QTest::addColumn<bool>("choosePrinter");
    QTest::addColumn<int>("previews");
    QTest::addColumn<int>("printerChoices");
    QTest::addColumn<int>("printed");
    QTest::addColumn<int>("saved");

    QTest::newRow("preview from the menu, closed") << Anteprima << false << false << true << 1 << 0 << 0 << 0;
    QTest::newRow("preview by Ctrl+Shift+P, printed from it")
        << Anteprima << true << true << true << 1 << 1 << 1 << 0;
    QTest::newRow("Stampa su from the menu") << StampaSu << false << false << true << 0 << 1 << 1 << 0;
    QTest::newRow("Stampa su by Ctrl+P") << StampaSu << true << false << true << 0 << 1 << 1 << 0;
    QTest::newRow("Stampa su, dialog cancelled") << StampaSu << true << false << false << 0 << 1 << 0 << 0;
    QTest::newRow("Salva come PDF from the menu") << SalvaPdf << false << false << true << 0 << 0 << 0 << 1;
}

void PrintMenuTest::commandsReached()
{
    QFETCH(QString, entry);
    QFETCH(bool, byShortcut);
    QFETCH(bool, pressPrintInPreview);
    QFETCH(bool, choosePrinter);
    QFETCH(int, previews);
    QFETCH(int, printerChoices);
    QFETCH(int, printed);
    QFETCH(int, saved);

    AppHarness app;
    app.start().setFields(SampleSlip());
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Ticked});
    app.printDialogs.pressPrintInPreview = pressPrintInPreview;
    if (choosePrinter)
        app.printDialogs.choice = PrinterChoice{u"ufficio"_s, 3, {}};

    reach(app, entry, byShortcut);

    QCOMPARE(int(app.printDialogs.previewedPages.size()), previews);
    QCOMPARE(app.printDialogs.printerChoices, printerChoices);
    QCOMPARE(int(app.printer.printedPages.size()), printed);
    QCOMPARE(int(app.printer.pdfPages.size()), saved);
    QVERIFY(app.messages.shown.isEmpty());
    // Every command draws the page "stampa" draws: the premarcati model with the code line.
    const QString payerRow = u"PrintAt 15.60 4.20 9 bold black |Mario Rossi|"_s;
    const QString codeRow = u"PrintAt 16.80 9.10 11 bold black |00001234+50>|"_s;
    for (const auto& pages :
         {app.printDialogs.previewedPages, app.printer.printedPages, app.printer.pdfPages}) {
        for (const QStringList& page : pages) {
            QVERIFY(page.contains(payerRow));
            QVERIFY(page.contains(codeRow));
        }
    }
    if (printed) {
        QCOMPARE(app.printer.targets.front().printerName, u"ufficio"_s);
        QCOMPARE(app.printer.targets.front().copies, 3);
    }
}

void PrintMenuTest::overflowQuestion_data()
{
    QTest::addColumn<bool>("toPdf"); // "Salva come PDF…" instead of "stampa"
    QTest::addColumn<QString>("payeeLine1");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<int>("questions");
    QTest::addColumn<int>("printed");

    // Premarcati receipt payee: room for 23 M, not for 24 (the finder's own test measures why).
    QTest::newRow("nothing overflows: printed, nothing asked")
        << false << QString(23, u'M') << QList<bool>{} << 0 << 1;
    QTest::newRow("overflow, print anyway") << false << QString(24, u'M') << QList<bool>{true} << 1 << 1;
    QTest::newRow("overflow, not printed") << false << QString(24, u'M') << QList<bool>{false} << 1 << 0;
    QTest::newRow("PDF, nothing overflows: saved, nothing asked")
        << true << QString(23, u'M') << QList<bool>{} << 0 << 1;
    QTest::newRow("PDF, overflow, saved anyway") << true << QString(24, u'M') << QList<bool>{true} << 1 << 1;
    QTest::newRow("PDF, overflow, not saved") << true << QString(24, u'M') << QList<bool>{false} << 1 << 0;
}

// "stampa" and "Salva come PDF…" ask once, naming the field and the model, in the tool tip's words
// and unit, with No the default; Yes prints, No prints nothing.
void PrintMenuTest::overflowQuestion()
{
    QFETCH(bool, toPdf);
    QFETCH(QString, payeeLine1);
    QFETCH(QList<bool>, answers);
    QFETCH(int, questions);
    QFETCH(int, printed);

    AppHarness app;
    Form1& form = app.start();
    form.setFields(SampleSlip());
    form.setFieldText(PayeeLine1, payeeLine1);
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Ticked});
    app.messages.answers = answers;

    if (toPdf)
        menuEntry(app.palette(), SalvaPdf)->trigger();
    else
        QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);

    QCOMPARE(int(app.messages.shown.size()), questions);
    QCOMPARE(int(toPdf ? app.printer.pdfPages.size() : app.printer.printedPages.size()), printed);
    if (toPdf)
        QVERIFY(app.printer.printedPages.empty());
    if (questions) {
        const QString text = app.messages.shown.front().text;
        QCOMPARE(app.messages.shown.front().kind, ScriptedMessageBoxes::Shown::Question);
        QVERIFY(app.messages.shown.front().noByDefault);
        QVERIFY2(text.contains(u"\u00abpremarcati\u00bb"_s), qPrintable(text));
        QVERIFY2(text.contains(u"\u2022 Intestato a (riga 1): troppo lungo di 0,2 cm (nella ricevuta, "_s),
                 qPrintable(text));
        QCOMPARE(text.count(u"Intestato a (riga 1)"_s), 1);
        QCOMPARE(form.Text1[PayeeLine1]->toolTip(), u"Troppo lungo di 0,2 cm per la stampa (premarcati)"_s);
    }
}

// Typing past the place marks the field, with a tool tip; a field that fits again, or another
// model where it fits, loses the mark. The focus keeps its yellow.
void PrintMenuTest::marksWhileTyping()
{
    AppHarness app;
    Form1& form = app.start();
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Ticked});
    QLineEdit* payer = form.Text1[PayerName];
    payer->setFocus();
    QTRY_VERIFY(payer->hasFocus());
    const QColor focusColour = payer->palette().color(QPalette::Base);

    // Premarcati receipt payer from 2.1 to the divider at 8.3: 23 M fit, 24 M run 0.147 cm past.
    QTest::keyClicks(payer, QString(23, u'M'));
    QVERIFY(!IsMarkedAsOverflowing(*payer));
    QCOMPARE(payer->toolTip(), QString());
    QTest::keyClicks(payer, u"M"_s);
    QVERIFY(IsMarkedAsOverflowing(*payer));
    QCOMPARE(payer->toolTip(), u"Troppo lungo di 0,2 cm per la stampa (premarcati)"_s);
    QCOMPARE(payer->palette().color(QPalette::Base), focusColour);
    for (int field = 0; field < SlipFieldCount; ++field) {
        if (field != PayerName)
            QVERIFY(!IsMarkedAsOverflowing(*form.Text1[field]));
    }

    QTest::keyClick(payer, Qt::Key_Backspace);
    QVERIFY(!IsMarkedAsOverflowing(*payer));
    QCOMPARE(payer->toolTip(), QString());

    // In "2 frame" 24 M fit everywhere (receipt from 1.0 to 12.4, payment from 18.9 to 29.7).
    QTest::keyClicks(payer, u"M"_s);
    QVERIFY(IsMarkedAsOverflowing(*payer));
    QTest::mouseClick(app.palette().Option1[1], Qt::LeftButton);
    QVERIFY(!IsMarkedAsOverflowing(*payer));
    QTest::mouseClick(app.palette().Option1[0], Qt::LeftButton);
    QVERIFY(IsMarkedAsOverflowing(*payer));
}

// The amount in words may be typed over, as the slip allows: text that is not the words of the amount
// gets the red frame and says why; printing, "Salva come PDF…" and saving ask first, No by default,
// and keep the typed text as it is. Words that agree again lose the mark.
void PrintMenuTest::wordsTypedOverAreMarkedAndAskedAbout()
{
    AppHarness app;
    Form1& form = app.start();
    app.palette().setPaletteState(PaletteState{false, true, CheckBoxState::Ticked});
    QLineEdit* amount = form.Text1[Amount];
    QLineEdit* words = form.Text1[AmountWords];

    // The amount typed and left: the words follow, nothing is marked.
    amount->setFocus();
    QTRY_VERIFY(amount->hasFocus());
    QTest::keyClicks(amount, u"35,5"_s);
    QTest::keyClick(amount, Qt::Key_Tab);
    QTRY_VERIFY(!amount->hasFocus());
    QCOMPARE(words->text(), u"trentacinque/50"_s);
    QVERIFY(!IsMarkedAsOverflowing(*words));

    // A payee typed there by mistake.
    words->setFocus();
    QTRY_VERIFY(words->hasFocus());
    words->selectAll();
    QTest::keyClicks(words, u"Comune di Bologna"_s);
    QVERIFY(IsMarkedAsOverflowing(*words));
    QVERIFY2(words->toolTip().contains(u"35,50 (trentacinque/50)"_s), qPrintable(words->toolTip()));
    QVERIFY(!IsMarkedAsOverflowing(*amount));

    // "stampa": asked, No prints nothing.
    app.messages.answers = {false};
    QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);
    QCOMPARE(int(app.messages.shown.size()), 1);
    QCOMPARE(app.messages.shown.front().kind, ScriptedMessageBoxes::Shown::Question);
    QVERIFY(app.messages.shown.front().noByDefault);
    QVERIFY2(app.messages.shown.front().text.contains(u"«Comune di Bologna»"_s),
             qPrintable(app.messages.shown.front().text));
    QVERIFY(app.printer.printedPages.empty());

    // "Salva come PDF…": asked the same; Yes writes it.
    app.messages.shown.clear();
    app.messages.answers = {true};
    menuEntry(app.palette(), SalvaPdf)->trigger();
    QCOMPARE(int(app.messages.shown.size()), 1);
    QCOMPARE(int(app.printer.pdfPages.size()), 1);

    // "salva": asked before its own question; No stores nothing.
    app.messages.shown.clear();
    app.messages.answers = {false};
    QTest::mouseClick(app.palette().Image2[Form2::SaveButton], Qt::LeftButton);
    QCOMPARE(int(app.messages.shown.size()), 1);
    QVERIFY2(app.messages.shown.front().text.endsWith(u"Salvare lo stesso?"_s),
             qPrintable(app.messages.shown.front().text));
    QCOMPARE(app.archive().table().size(), 0);
    // Yes, then Yes to "Vuoi salvare i dati Stampati ?": the typed words are stored as they are.
    app.messages.shown.clear();
    app.messages.answers = {true, true};
    QTest::mouseClick(app.palette().Image2[Form2::SaveButton], Qt::LeftButton);
    QCOMPARE(app.archive().table().size(), 1);
    QCOMPARE(app.archive().table().front().column(FirstFieldColumn + AmountWords), u"Comune di Bologna"_s);
    QCOMPARE(words->text(), u"Comune di Bologna"_s);

    // The words of the amount again: no mark, no question.
    words->setFocus();
    QTRY_VERIFY(words->hasFocus());
    words->selectAll();
    QTest::keyClicks(words, u"trentacinque/50"_s);
    QVERIFY(!IsMarkedAsOverflowing(*words));
    app.messages.shown.clear();
    app.messages.answers = {};
    QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);
    QCOMPARE(int(app.messages.shown.size()), 0);
    QCOMPARE(int(app.printer.printedPages.size()), 1);
}

void PrintMenuTest::pdfWrittenAndReadBack_data()
{
    QTest::addColumn<bool>("fromPrintDialog");
    QTest::newRow("Salva come PDF") << false;
    QTest::newRow("Stampa su, to a file") << true;
}

// The PDF file chosen by the user: one A4 landscape page carrying the slip's texts.
void PrintMenuTest::pdfWrittenAndReadBack()
{
    QFETCH(bool, fromPrintDialog);
    QTemporaryDir directory;
    const QString path = directory.filePath(u"bollettino.pdf"_s);
    ScriptedSaveFileDialog fileDialog(path);
    SystemPrinter printer(fileDialog);
    AppHarness app(Replacements{nullptr, &printer});
    app.start().setFields(SampleSlip());
    app.palette().setPaletteState(PaletteState{false, true, CheckBoxState::Ticked});
    if (fromPrintDialog) {
        app.printDialogs.choice = PrinterChoice{{}, 1, path};
        reach(app, StampaSu, true);
    } else {
        menuEntry(app.palette(), SalvaPdf)->trigger();
        QCOMPARE(fileDialog.asked, 1);
    }
    QVERIFY(app.messages.shown.isEmpty());

    const QString info = runTool(u"pdfinfo"_s, {path});
    QVERIFY2(info.contains(QRegularExpression(u"Pages:\\s+1\\n"_s)), qPrintable(info));
    QVERIFY2(info.contains(u"841.89 x 595.276 pts (A4)"_s) || info.contains(u"842 x 595 pts (A4)"_s),
             qPrintable(info));
    const QString text = runTool(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    for (const QString& expected :
         {u"Mario Rossi"_s, u"Comune di Bologna"_s, u"00001234+50>"_s, u"TAGLIARE"_s})
        QVERIFY2(text.contains(expected), qPrintable(expected));
}

QTEST_MAIN(PrintMenuTest)
#include "PrintMenuTest.moc"
