// SPDX-License-Identifier: GPL-3.0-or-later

// The review of a spreadsheet as the user sees it: counts, every refused row with its column and
// reason, the overflow warnings, and the buttons that go on with the good rows or stop.
#include "platform/SheetDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

SheetReview sampleReview()
{
    SheetReview review;
    review.fileName = u"soci.csv"_s;
    review.goodRows = 3;
    review.refusedRows = 2;
    review.problems = {{4, u"Importo"_s, u"l'importo «25» non è valido"_s}, {5, u"Conto"_s, u"solo cifre"_s}};
    review.ignoredColumns = {u"Note"_s};
    review.overflowWarnings = {u"Riga 3 (2 frame): Causale troppo lunga"_s};
    return review;
}

// Runs review() and, once its window is up, reads it and clicks the button with the given text.
SheetAction answer(const SheetReview& review, const QString& button, QStringList* seen)
{
    QtSheetDialogs dialogs;
    QTimer::singleShot(0, [&] {
        QDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())));
        const auto* summary = dialog->findChild<QLabel*>(u"Summary"_s);
        seen->append(summary ? summary->text() : u"(no summary)"_s);
        if (const auto* table = dialog->findChild<QTableWidget*>(u"Problems"_s)) {
            for (int r = 0; r < table->rowCount(); ++r)
                seen->append(u"%1|%2|%3"_s.arg(table->item(r, 0)->text(), table->item(r, 1)->text(),
                                               table->item(r, 2)->text()));
        }
        if (const auto* overflows = dialog->findChild<QPlainTextEdit*>(u"Overflows"_s))
            seen->append(overflows->toPlainText());
        QStringList buttons;
        for (QPushButton* b : dialog->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>())
            buttons.append(b->text());
        buttons.sort();
        seen->append(buttons.join(u','));
        for (QPushButton* b : dialog->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>()) {
            if (b->text() == button)
                b->click();
        }
    });
    return dialogs.review(review);
}

} // namespace

class QtSheetDialogsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void reviewShowsEveryRefusedRow();
    void reviewWithoutGoodRowsOnlyStops();
    void reviewTellsANameWithPercentSigns();
    void reviewOfAHugeSheetStaysOnTheScreen();
    void progressSaysWhenItCanNoLongerCancel();
};

void QtSheetDialogsTest::reviewShowsEveryRefusedRow()
{
    QStringList seen;
    QCOMPARE(answer(sampleReview(), u"Stampa"_s, &seen), SheetAction::Print);
    QCOMPARE(seen, (QStringList{u"soci.csv: 3 righe valide, 2 righe scartate.\nColonna ignorata: Note.\n"
                                u"Si può proseguire con le sole righe valide, o fermarsi."_s,
                                u"4|Importo|l'importo «25» non è valido"_s, u"5|Conto|solo cifre"_s,
                                u"Riga 3 (2 frame): Causale troppo lunga"_s,
                                u"Aggiungi all'archivio,Annulla,Salva come PDF…,Stampa"_s}));

    seen.clear();
    QCOMPARE(answer(sampleReview(), u"Aggiungi all'archivio"_s, &seen), SheetAction::Store);
    seen.clear();
    QCOMPARE(answer(sampleReview(), u"Salva come PDF…"_s, &seen), SheetAction::SavePdf);
    seen.clear();
    QCOMPARE(answer(sampleReview(), u"Annulla"_s, &seen), SheetAction::Stop);
}

void QtSheetDialogsTest::reviewWithoutGoodRowsOnlyStops()
{
    SheetReview review = sampleReview();
    review.goodRows = 0;
    QStringList seen;
    QCOMPARE(answer(review, u"Annulla"_s, &seen), SheetAction::Stop);
    QCOMPARE(seen.last(), u"Annulla"_s);
}

void QtSheetDialogsTest::reviewTellsANameWithPercentSigns()
{
    SheetReview review = sampleReview();
    review.fileName = u"soci %2%1.csv"_s;
    QStringList seen;
    QCOMPARE(answer(review, u"Annulla"_s, &seen), SheetAction::Stop);
    QVERIFY(!seen.isEmpty());
    QCOMPARE(seen.first(), u"soci %2%1.csv: 3 righe valide, 2 righe scartate.\nColonna ignorata: Note.\n"
                           u"Si può proseguire con le sole righe valide, o fermarsi."_s);
}

// A sheet of 100 000 ignored columns with long names, and rows whose column and reason are very long:
// the window stays within the screen's free area and says how many columns it does not list.
void QtSheetDialogsTest::reviewOfAHugeSheetStaysOnTheScreen()
{
    SheetReview review = sampleReview();
    review.fileName = QString(300, u'f') + u".csv"_s;
    review.ignoredColumns.clear();
    for (int i = 0; i < 100'000; ++i)
        review.ignoredColumns.append(QString(200, u'c') + QString::number(i));
    for (int i = 0; i < 200; ++i)
        review.problems.append(
            {i + 6, QString(5000, u'k'), u"«"_s + QString(100'000, u'x') + u"» non è valido"_s});
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();

    QtSheetDialogs dialogs;
    QSize shown;
    QString summary;
    QTimer::singleShot(0, [&] {
        QDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())));
        shown = dialog->frameGeometry().size();
        summary = dialog->findChild<QLabel*>(u"Summary"_s)->text();
        dialog->reject();
    });
    QCOMPARE(dialogs.review(review), SheetAction::Stop);
    QVERIFY2(shown.width() <= available.width() && shown.height() <= available.height(),
             qPrintable(u"%1x%2 on %3x%4"_s.arg(
                 QString::number(shown.width()), QString::number(shown.height()),
                 QString::number(available.width()), QString::number(available.height()))));
    QVERIFY2(shown.width() > 0, "the review was not shown");
    QVERIFY2(summary.endsWith(u", e altre 99990.\nSi può proseguire con le sole righe valide, o fermarsi."_s),
             qPrintable(summary.right(200)));
    QVERIFY2(summary.size() < 1500, qPrintable(QString::number(summary.size())));
}

// The batch's progress window: "Annulla" works while slips are drawn; once the job has gone to CUPS
// it is disabled and the label says where the job can still be stopped.
void QtSheetDialogsTest::progressSaysWhenItCanNoLongerCancel()
{
    QtSheetDialogs dialogs;
    const std::unique_ptr<BatchProgress> progress = dialogs.startProgress(u"Preparazione"_s, 2);
    QWidget* window = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == u"BatchProgress"_s)
            window = widget;
    }
    QVERIFY(window);
    auto* cancel = window->findChild<QPushButton*>();
    QVERIFY(cancel);
    progress->setDone(1);
    QVERIFY(cancel->isEnabled());
    progress->setDone(2);
    progress->passCancelling(u"Bollettini mandati alla stampante"_s);
    QVERIFY(!cancel->isEnabled());
    QVERIFY(window->findChild<QLabel*>()->text().contains(u"mandati alla stampante"_s));
    QVERIFY(!progress->cancelled());
}

QTEST_MAIN(QtSheetDialogsTest)
#include "QtSheetDialogsTest.moc"
