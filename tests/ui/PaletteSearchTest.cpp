// SPDX-License-Identifier: GPL-3.0-or-later

// "Cerca" in the palette: the list narrows as the user types, recall and delete act on the entry
// picked in the narrowed list, clearing the search brings the whole list back, and the palette looks
// as before for someone who never opens it.
#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "ui/PictureButton.h"

#include "ui/ArchiveList.h"
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace {

const QByteArray Rossi = datedRecord("07 dicembre 2026", "Rossi Mario", "Ente Acque", "12,50");
const QByteArray Ferre = datedRecord("05 gennaio 2027", "Ferr\xE8 Nicol\xF2", "Comune", "15,00");
const QByteArray Rossini = datedRecord("06 gennaio 2027", "Rossini Anna", "Universit\xE0", "99,00");

QStringList actionTexts(const QMenu& menu)
{
    QStringList texts;
    for (const QAction* action : menu.actions())
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    return texts;
}

} // namespace

class PaletteSearchTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hiddenUntilAskedFor();
    void narrowsAsTheUserTypes();
    void recallAndDeleteActOnTheFilteredEntry();
    void escapeBringsTheWholeListBack();
    void printsAndSavesWhatTheSearchShows();
};

void PaletteSearchTest::hiddenUntilAskedFor()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Ferre);
    app.start();
    Form2& palette = app.palette();
    const QRect list = palette.List1->geometry();
    QVERIFY(!palette.SearchBox->isVisible());
    QCOMPARE(palette.Label4->text(), u"Record: 2"_s);

    // The list's own right-click menu holds its two buttons' commands, the undoing of a deletion, the
    // search and the spreadsheet commands.
    QCOMPARE(actionTexts(*palette.ListMenu),
             (QStringList{u"Apri"_s, u"Elimina"_s, u"Annulla l'eliminazione"_s, u"-"_s, u"Cerca"_s,
                          u"Stampa i bollettini trovati\u2026"_s, u"Salva i trovati come PDF\u2026"_s, u"-"_s,
                          u"Esporta in foglio di calcolo\u2026"_s, u"Importa da foglio di calcolo\u2026"_s,
                          u"Importa archivio\u2026"_s}));

    // The palette's menu has them after the print entries and the buttons' commands.
    QCOMPARE(actionTexts(*palette.PaletteMenu),
             (QStringList{u"Anteprima di stampa"_s, u"Stampa su\u2026"_s, u"Salva come PDF\u2026"_s, u"-"_s,
                          u"Stampa"_s, u"Salva"_s, u"Apri"_s, u"Elimina"_s, u"Annulla l'eliminazione"_s,
                          u"-"_s, u"Importa da foglio di calcolo\u2026"_s,
                          u"Esporta in foglio di calcolo\u2026"_s, u"Importa archivio\u2026"_s, u"-"_s,
                          u"Cerca"_s, u"-"_s, u"Informazioni"_s, u"Riduci a icona"_s, u"Esci"_s}));

    // Ctrl+F on the slip form opens it above the list, which gives up the room it takes.
    QTest::keyClick(app.form, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(palette.SearchBox->isVisible());
    // Typing goes into it at once.
    QTRY_VERIFY(palette.SearchBox->hasFocus());
    QCOMPARE(palette.SearchBox->geometry().top(), list.top());
    QVERIFY(palette.List1->geometry().top() > palette.SearchBox->geometry().bottom());
    QCOMPARE(palette.List1->geometry().bottom(), list.bottom());
    // Shown, it has its clear button, also after it was closed and opened again.
    QVERIFY(palette.SearchBox->isClearButtonEnabled());
    QTest::keyClick(palette.SearchBox, Qt::Key_Escape);
    QVERIFY(!palette.SearchBox->isVisible());
    QTest::keyClick(app.form, Qt::Key_F, Qt::ControlModifier);
    QTRY_VERIFY(palette.SearchBox->isVisible());
    QVERIFY(palette.SearchBox->isClearButtonEnabled());
}

void PaletteSearchTest::narrowsAsTheUserTypes()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Ferre + Rossini);
    app.start();
    Form2& palette = app.palette();
    app.session->showSearch();

    QTest::keyClicks(palette.SearchBox, u"ross"_s);
    QCOMPARE(listEntries(palette),
             (QStringList{u"07/12/2026 - Rossi Mario"_s, u"06/01/2027 - Rossini Anna"_s}));
    QCOMPARE(palette.Label4->text(), u"Record: 2 di 3"_s);
    QTest::keyClicks(palette.SearchBox, u"ini"_s);
    QCOMPARE(listEntries(palette), QStringList{u"06/01/2027 - Rossini Anna"_s});

    // Payee, amount and date, with or without accents.
    palette.SearchBox->setText(u"universita"_s);
    QCOMPARE(listEntries(palette), QStringList{u"06/01/2027 - Rossini Anna"_s});
    palette.SearchBox->setText(u"15,00"_s);
    QCOMPARE(listEntries(palette), QStringList{u"05/01/2027 - Ferrè Nicolò"_s});
    palette.SearchBox->setText(u"07/12"_s);
    QCOMPARE(listEntries(palette), QStringList{u"07/12/2026 - Rossi Mario"_s});
    palette.SearchBox->setText(u"nessuno"_s);
    QCOMPARE(listEntries(palette), QStringList());
    QCOMPARE(palette.Label4->text(), u"Record: 0 di 3"_s);

    // Cleared, the whole list is back.
    palette.SearchBox->clear();
    QCOMPARE(listEntries(palette).size(), 3);
    QCOMPARE(palette.Label4->text(), u"Record: 3"_s);
}

void PaletteSearchTest::recallAndDeleteActOnTheFilteredEntry()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Ferre + Rossini);
    app.start();
    Form2& palette = app.palette();
    app.session->showSearch();
    palette.SearchBox->setText(u"anna"_s);
    QCOMPARE(listEntries(palette).size(), 1);

    // The first entry shown is the third record.
    palette.List1->setRowSelected(0, true);
    clickButton(palette, Form2::RecallButton);
    QCOMPARE(app.form->fields()[PayerName], u"Rossini Anna"_s);

    palette.List1->setRowSelected(0, true);
    app.messages.answers = {true};
    clickButton(palette, Form2::DeleteButton);
    QCOMPARE(contents(app.services.archivePath()), Rossi + Ferre);
    // The search stays, and after the reload it finds nothing more.
    QVERIFY(palette.SearchBox->isVisible());
    QCOMPARE(listEntries(palette), QStringList());
    QCOMPARE(palette.Label4->text(), u"Record: 0 di 2"_s);
}

void PaletteSearchTest::escapeBringsTheWholeListBack()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Ferre);
    app.start();
    Form2& palette = app.palette();
    const QRect list = palette.List1->geometry();
    app.session->showSearch();
    palette.SearchBox->setText(u"ferre"_s);
    QCOMPARE(listEntries(palette).size(), 1);

    QTest::keyClick(palette.SearchBox, Qt::Key_Escape);
    QVERIFY(!palette.SearchBox->isVisible());
    QCOMPARE(palette.List1->geometry(), list);
    QCOMPARE(listEntries(palette),
             (QStringList{u"07/12/2026 - Rossi Mario"_s, u"05/01/2027 - Ferrè Nicolò"_s}));
    QCOMPARE(palette.Label4->text(), u"Record: 2"_s);
}

// "Stampa i bollettini trovati…" and "Salva i trovati come PDF…" act on the narrowed list only.
void PaletteSearchTest::printsAndSavesWhatTheSearchShows()
{
    AppHarness app;
    write(app.services.archivePath(), Rossi + Ferre + Rossini);
    app.start();
    Form2& palette = app.palette();
    app.session->showSearch();
    QTest::keyClicks(palette.SearchBox, u"ross"_s);
    QAction* print = palette.findChild<QAction*>(u"printFoundAction"_s);
    QAction* pdf = palette.findChild<QAction*>(u"pdfFoundAction"_s);
    QVERIFY(print && pdf);

    print->trigger();
    QCOMPARE(app.printer.printedPages.size(), 2u);
    QVERIFY(app.printer.printedPages[0].join(u'\n').contains(u"|Rossi Mario|"_s));
    QVERIFY(app.printer.printedPages[1].join(u'\n').contains(u"|Rossini Anna|"_s));
    QCOMPARE(app.messages.texts(), QStringList(u"Bollettini stampati in un solo lavoro: 2."_s));

    app.sheetDialogs.pdfToSave = app.directory.filePath(u"trovati.pdf"_s);
    pdf->trigger();
    const QByteArray written = contents(app.sheetDialogs.pdfToSave);
    QVERIFY(written.startsWith("%PDF"));
    QCOMPARE(written.count("/Type /Page\n") + written.count("/Type /Page\r") + written.count("/Type /Page "),
             qsizetype(2));

    // A search that shows nothing prints nothing, and says so.
    palette.SearchBox->setText(u"nessuno"_s);
    app.messages.shown.clear();
    print->trigger();
    QCOMPARE(app.printer.printedPages.size(), 2u);
    QCOMPARE(app.messages.texts(),
             QStringList(u"L'elenco non mostra nessun bollettino: nulla da stampare."_s));
}

QTEST_MAIN(PaletteSearchTest)
#include "PaletteSearchTest.moc"
