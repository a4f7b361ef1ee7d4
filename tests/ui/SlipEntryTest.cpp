// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "platform/QtMessageBoxes.h"

// The slip form while the user types: focus colours, trimming, previews, the amount check and its words.
class SlipEntryTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void amountFormattedWithPreviewAndWords_data();
    void amountFormattedWithPreviewAndWords();
    void amountRefusedEmptiesWordsAndPreview_data();
    void amountRefusedEmptiesWordsAndPreview();
    void recalledAmountWithForeignCharacterIsRefused();
    void accountPreview_data();
    void accountPreview();
    void documentTypePreview_data();
    void documentTypePreview();
    void focusColours();
    void leavingAnyFieldTrimsAllTwelve();
    void typedSpacesTrimmedOnLeaving();
    void keysAndPasteFilteredInTheForm();
    void writeAmountWords_data();
    void writeAmountWords();
    void noChecksForAContextMenu();
    void checksWhenMovingToThePalette();
    void refusedOnMovingToThePaletteOnlyOnce();
    void longPreviewsStayWholeAndApart();
    void noChecksWhileAnotherProgramIsActive();
    void realMessageBoxShownOnceThenFocusMovesOn();

private:
    // Starts the form, active, with the focus in the field.
    static bool startIn(AppHarness& app, int field);
    static void replaceText(QLineEdit* field, const QString& typed);
    static QColor background(const QLineEdit* field) { return field->palette().color(QPalette::Base); }
};

bool SlipEntryTest::startIn(AppHarness& app, int field)
{
    Form1& form = app.start();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    if (!QTest::qWaitForWindowActive(&form))
        return false;
    form.Text1[field]->setFocus(Qt::OtherFocusReason);
    return form.Text1[field]->hasFocus();
}

void SlipEntryTest::replaceText(QLineEdit* field, const QString& typed)
{
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, typed);
}

void SlipEntryTest::amountFormattedWithPreviewAndWords_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("preview");
    QTest::addColumn<QString>("words");

    // The amount's format, words and code-line piece have their tables in AmountFormatTest,
    // AmountWordsTest and CodeLinePiecesTest. Here: the window runs them on what the key filter lets
    // in, words and piece from the formatted amount (12,5 makes "dodici/50", not "dodici/5"). "prima"
    // is what the words field held before: every amount replaces it, too large an amount with nothing.
    QTest::newRow("one decimal") << "12,5"
                                 << "12,50"
                                 << "00000012+50>"
                                 << "dodici/50";
    QTest::newRow("rounds into the tens") << "9,999"
                                          << "10,00"
                                          << "00000010+00>"
                                          << "dieci/00";
    QTest::newRow("letters typed are dropped") << "1a2,5x"
                                               << "12,50"
                                               << "00000012+50>"
                                               << "dodici/50";
    QTest::newRow("eighteen digits kept") << "123456789012345678,5"
                                          << "123456789012345678,50"
                                          << "123456789012345678+50>"
                                          << "";
}

void SlipEntryTest::amountFormattedWithPreviewAndWords()
{
    QFETCH(QString, typed);
    QFETCH(QString, amount);
    QFETCH(QString, preview);
    QFETCH(QString, words);

    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    form.setFieldText(AmountWords, QStringLiteral("prima"));
    QTest::keyClicks(form.Text1[Amount], typed);
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);

    QCOMPARE(app.messages.shown.size(), 0);
    QCOMPARE(form.fieldText(Amount), amount);
    QCOMPARE(form.Label15->text(), preview);
    QCOMPARE(form.fieldText(AmountWords), words);
    QVERIFY(form.Text1[DocumentType]->hasFocus());
}

void SlipEntryTest::amountRefusedEmptiesWordsAndPreview_data()
{
    QTest::addColumn<QString>("typed");

    QTest::newRow("whole number") << "1234";
    QTest::newRow("only letters, so empty") << "abc";
}

void SlipEntryTest::amountRefusedEmptiesWordsAndPreview()
{
    QFETCH(QString, typed);

    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("5,5"));
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);
    QCOMPARE(form.fieldText(AmountWords), QStringLiteral("cinque/50"));

    QTest::keyClick(form.Text1[DocumentType], Qt::Key_Backtab);
    QVERIFY(form.Text1[Amount]->hasFocus());
    replaceText(form.Text1[Amount], typed);
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);

    QCOMPARE(app.messages.shown.size(), 1);
    QCOMPARE(app.messages.shown.at(0).kind, ScriptedMessageBoxes::Shown::Critical);
    QCOMPARE(app.messages.shown.at(0).text, QStringLiteral("Formato IMPORTO non valido!!!"));
    QCOMPARE(form.fieldText(Amount), QString());
    QCOMPARE(form.fieldText(AmountWords), QString());
    // 5,50 is gone from the field: its code-line piece goes with it.
    QCOMPARE(form.Label15->text(), QString());
    QVERIFY(form.Text1[DocumentType]->hasFocus());

    // Left empty again, it is refused again.
    QTest::keyClick(form.Text1[DocumentType], Qt::Key_Backtab);
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);
    QCOMPARE(app.messages.shown.size(), 2);
}

void SlipEntryTest::recalledAmountWithForeignCharacterIsRefused()
{
    // An archive written elsewhere may hold anything; the form does not format what it cannot read.
    AppHarness app;
    QVERIFY(startIn(app, AccountNumber));
    Form1& form = *app.form;
    form.setFieldText(Amount, QStringLiteral("12,5a"));
    QTest::keyClick(form.Text1[AccountNumber], Qt::Key_Tab);
    QVERIFY(form.Text1[Amount]->hasFocus());
    QCOMPARE(form.fieldText(Amount), QStringLiteral("12,5a")); // nothing runs until the field is left
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);
    QCOMPARE(app.messages.texts(), QStringList{QStringLiteral("Formato IMPORTO non valido!!!")});
    QCOMPARE(form.fieldText(Amount), QString());
    QCOMPARE(form.Label15->text(), QString());
}

void SlipEntryTest::accountPreview_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("preview");

    QTest::newRow("five digits") << "12345"
                                 << "12345"
                                 << "00012345<";
    QTest::newRow("separators dropped as typed") << "12 345-6"
                                                 << "123456"
                                                 << "00123456<";
}

void SlipEntryTest::accountPreview()
{
    QFETCH(QString, typed);
    QFETCH(QString, account);
    QFETCH(QString, preview);

    AppHarness app;
    QVERIFY(startIn(app, AccountNumber));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[AccountNumber], typed);
    QTest::keyClick(form.Text1[AccountNumber], Qt::Key_Tab);
    QCOMPARE(form.fieldText(AccountNumber), account);
    QCOMPARE(form.Label14->text(), preview);
    QCOMPARE(form.Label14->size(), form.Label14->sizeHint());
}

void SlipEntryTest::documentTypePreview_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("preview");

    QTest::newRow("other type") << "896"
                                << "896>";
    QTest::newRow("empty") << ""
                           << ">";
}

void SlipEntryTest::documentTypePreview()
{
    QFETCH(QString, typed);
    QFETCH(QString, preview);

    AppHarness app;
    QVERIFY(startIn(app, DocumentType));
    Form1& form = *app.form;
    replaceText(form.Text1[DocumentType], typed);
    QTest::keyClick(form.Text1[DocumentType], Qt::Key_Tab);
    QCOMPARE(form.Label12->text(), preview);
    QCOMPARE(form.Label15->text(), QString());
}

void SlipEntryTest::focusColours()
{
    AppHarness app;
    QVERIFY(startIn(app, PayeeLine1));
    Form1& form = *app.form;
    const QColor yellow(255, 255, 0);
    const QColor white(255, 255, 255);

    const int path[] = {PayeeLine1, PayeeLine2, PayeeLine3, PaymentReason, PayerName};
    for (int focused : path) {
        QVERIFY(form.Text1[focused]->hasFocus());
        for (int field = 0; field < SlipFieldCount; ++field)
            QCOMPARE(background(form.Text1[field]), field == focused ? yellow : white);
        QTest::keyClick(form.Text1[focused], Qt::Key_Tab);
    }
}

void SlipEntryTest::leavingAnyFieldTrimsAllTwelve()
{
    AppHarness app;
    QVERIFY(startIn(app, PayeeLine2));
    Form1& form = *app.form;
    const SlipTexts padded{
        QStringLiteral("  Mario Rossi "),
        QStringLiteral(" Via  Roma 1"),
        QStringLiteral("00184 "),
        QStringLiteral(" \tRoma\t "),
        QStringLiteral(" 12,50 "),
        QStringLiteral(" dodici/50"),
        QStringLiteral("   "),
        QStringLiteral(" Beta "),
        QStringLiteral("Gamma "),
        QStringLiteral(" 12345"),
        QStringLiteral(" rata 1 "),
        QStringLiteral(" 123 "),
    };
    form.setFields(padded);
    QTest::keyClick(form.Text1[PayeeLine2], Qt::Key_Tab);

    const SlipTexts trimmed{
        QStringLiteral("Mario Rossi"),
        QStringLiteral("Via  Roma 1"),
        QStringLiteral("00184"),
        QStringLiteral("\tRoma\t"),
        QStringLiteral("12,50"),
        QStringLiteral("dodici/50"),
        QString(),
        QStringLiteral("Beta"),
        QStringLiteral("Gamma"),
        QStringLiteral("12345"),
        QStringLiteral("rata 1"),
        QStringLiteral("123"),
    };
    QCOMPARE(form.fields(), trimmed);
    // Only the field left acts further: no preview changes, no message. The account preview is the one
    // made when the start-up focus left the empty account field.
    QCOMPARE(form.Label14->text(), QStringLiteral("00000000<"));
    QCOMPARE(form.Label12->text(), QString());
    QCOMPARE(form.Label15->text(), QString());
    QCOMPARE(app.messages.shown.size(), 0);
}

void SlipEntryTest::typedSpacesTrimmedOnLeaving()
{
    AppHarness app;
    QVERIFY(startIn(app, PayeeLine1));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[PayeeLine1], QStringLiteral(" Mario Rossi "));
    QCOMPARE(form.fieldText(PayeeLine1), QStringLiteral(" Mario Rossi "));
    QTest::keyClick(form.Text1[PayeeLine1], Qt::Key_Tab);
    QCOMPARE(form.fieldText(PayeeLine1), QStringLiteral("Mario Rossi"));
}

void SlipEntryTest::keysAndPasteFilteredInTheForm()
{
    AppHarness app;
    QVERIFY(startIn(app, AccountNumber));
    Form1& form = *app.form;
    auto* account = form.findChild<QLineEdit*>(QStringLiteral("Text1_9"));
    QCOMPARE(account, form.Text1[AccountNumber]);
    QTest::keyClicks(account, QStringLiteral("1a2"));
    QGuiApplication::clipboard()->setText(QStringLiteral(" 3-4\r\n"));
    QTest::keyClick(account, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(account->text(), QStringLiteral("1234"));

    auto* postcode = form.findChild<QLineEdit*>(QStringLiteral("Text1_2"));
    postcode->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("I-00 18 4 9"));
    QTest::keyClick(postcode, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(postcode->text(), QStringLiteral("00184"));
    QCOMPARE(postcode->maxLength(), 5);

    auto* reason = form.findChild<QLineEdit*>(QStringLiteral("Text1_10"));
    reason->setFocus();
    QGuiApplication::clipboard()->setText(QStringLiteral("saldo\r\nfattura 12"));
    QTest::keyClick(reason, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(reason->text(), QStringLiteral("saldo fattura 12"));
}

void SlipEntryTest::writeAmountWords_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("words");

    QTest::newRow("written") << "1234,56"
                             << "milleduecentotrentaquattro/56";
    QTest::newRow("too large: emptied") << "1000000000000,00"
                                        << "";
}

void SlipEntryTest::writeAmountWords()
{
    QFETCH(QString, amount);
    QFETCH(QString, words);
    AppHarness app;
    Form1& form = app.start();
    form.setFieldText(AmountWords, QStringLiteral("prima"));
    form.WriteAmountWords(amount);
    QCOMPARE(form.fieldText(AmountWords), words);
}

void SlipEntryTest::noChecksForAContextMenu()
{
    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("12"));
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                form.Text1[Amount]->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(form.Text1[Amount], &menuEvent);
    QPointer<QWidget> menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QCOMPARE(app.messages.shown.size(), 0);
    QCOMPARE(background(form.Text1[Amount]), QColor(255, 255, 0));
    menu->close();
    QTRY_VERIFY(menu.isNull());
    QApplication::setActiveWindow(&form);
    QTRY_VERIFY(form.Text1[Amount]->hasFocus());
    QCoreApplication::processEvents();
    QCOMPARE(app.messages.shown.size(), 0);
    QCOMPARE(form.fieldText(Amount), QStringLiteral("12"));
}

void SlipEntryTest::checksWhenMovingToThePalette()
{
    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("12,5"));
    QApplication::setActiveWindow(&app.palette());
    QCOMPARE(form.fieldText(Amount), QStringLiteral("12,50"));
    QCOMPARE(form.fieldText(AmountWords), QStringLiteral("dodici/50"));
    QCOMPARE(background(form.Text1[Amount]), QColor(255, 255, 255));
}

// Refused when the user goes to the palette: the error once, the field and its words emptied, and the
// focus, back in this window, is no longer in the amount, so going to the palette again is not refused.
void SlipEntryTest::refusedOnMovingToThePaletteOnlyOnce()
{
    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    form.setFieldText(AmountWords, QStringLiteral("cinque/00"));
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("1234"));
    QApplication::setActiveWindow(&app.palette());
    QCOMPARE(app.messages.shown.size(), 1);
    QCOMPARE(app.messages.shown.at(0).text, QStringLiteral("Formato IMPORTO non valido!!!"));
    QCOMPARE(form.fieldText(Amount), QString());
    QCOMPARE(form.fieldText(AmountWords), QString());

    QApplication::setActiveWindow(&form);
    QTRY_VERIFY(form.Text1[DocumentType]->hasFocus());
    QApplication::setActiveWindow(&app.palette());
    QApplication::setActiveWindow(&form);
    QCOMPARE(app.messages.shown.size(), 1);

    // Back in the amount by the user's choice, leaving it empty is refused again.
    form.Text1[Amount]->setFocus(Qt::MouseFocusReason);
    QApplication::setActiveWindow(&app.palette());
    QCOMPARE(app.messages.shown.size(), 2);
}

// A 20-digit amount, a 12-digit account and a 12-digit document type: each preview whole, inside the
// red border, none covering another.
void SlipEntryTest::longPreviewsStayWholeAndApart()
{
    AppHarness app;
    QVERIFY(startIn(app, AccountNumber));
    Form1& form = *app.form;
    const auto enter = [&form](int field, const QString& typed) {
        form.Text1[field]->setFocus(Qt::OtherFocusReason);
        replaceText(form.Text1[field], typed);
        QTest::keyClick(form.Text1[field], Qt::Key_Tab);
    };
    enter(AccountNumber, QStringLiteral("123456789012"));
    enter(Amount, QStringLiteral("12345678901234567890,5"));
    enter(DocumentType, QStringLiteral("123456789012"));
    QCOMPARE(app.messages.shown.size(), 0);
    QCOMPARE(form.Label15->text(), QStringLiteral("12345678901234567890+50>"));
    QCOMPARE(form.Label14->text(), QStringLiteral("123456789012<"));
    QCOMPARE(form.Label12->text(), QStringLiteral("123456789012>"));

    const QRect inside = form.rect().adjusted(2, 2, -2, -2);
    const QList<QLabel*> previews{form.Label15, form.Label14, form.Label12};
    for (QLabel* preview : previews) {
        QVERIFY2(inside.contains(preview->geometry()), qPrintable(preview->objectName()));
        QVERIFY2(preview->width() >= preview->sizeHint().width(), qPrintable(preview->objectName()));
    }
    QVERIFY(form.Label15->geometry().right() < form.Label14->geometry().left());
    QVERIFY(form.Label14->geometry().right() < form.Label12->geometry().left());

    // Short again, they go back to their places under their captions.
    enter(DocumentType, QStringLiteral("123"));
    enter(AccountNumber, QStringLiteral("5"));
    enter(Amount, QStringLiteral("1,5"));
    QCOMPARE(inTwips(form.Label15->geometry()).topLeft(), QPoint(4440, 5880));
    QCOMPARE(inTwips(form.Label14->geometry()).topLeft(), QPoint(6120, 5880));
    QCOMPARE(inTwips(form.Label12->geometry()).topLeft(), QPoint(7680, 5880));
}

void SlipEntryTest::noChecksWhileAnotherProgramIsActive()
{
    AppHarness app;
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("12"));
    QApplication::setActiveWindow(nullptr);
    QCOMPARE(app.messages.shown.size(), 0);
    QApplication::setActiveWindow(&form);
    QTRY_VERIFY(form.Text1[Amount]->hasFocus());
    QCoreApplication::processEvents();
    QCOMPARE(app.messages.shown.size(), 0);
    QCOMPARE(form.fieldText(Amount), QStringLiteral("12"));

    // Back by way of the palette, the amount has been left after all.
    QApplication::setActiveWindow(nullptr);
    QApplication::setActiveWindow(&app.palette());
    QTRY_COMPARE(app.messages.shown.size(), 1);
    QCOMPARE(form.fieldText(Amount), QString());
}

void SlipEntryTest::realMessageBoxShownOnceThenFocusMovesOn()
{
    // The real box is modal and takes the activation while the focus change is under way.
    QtMessageBoxes realBoxes;
    AppHarness app({.messages = &realBoxes});
    QVERIFY(startIn(app, Amount));
    Form1& form = *app.form;
    QTest::keyClicks(form.Text1[Amount], QStringLiteral("1234"));

    struct Seen {
        QString text, title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
    };
    QList<Seen> seen;
    QTimer answer;
    answer.setInterval(0);
    connect(&answer, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons()});
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    QTest::keyClick(form.Text1[Amount], Qt::Key_Tab);
    answer.stop();

    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).text, QStringLiteral("Formato IMPORTO non valido!!!"));
    QCOMPARE(seen.at(0).title, QtMessageBoxes::title());
    QCOMPARE(seen.at(0).icon, QMessageBox::Critical);
    QCOMPARE(seen.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(form.fieldText(Amount), QString());
    // The box took the activation from the field Tab had reached; that field was not left.
    QCOMPARE(form.Label12->text(), QString());

    // The focus goes on to where Tab sent it, and that field alone is yellow.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_VERIFY(form.Text1[DocumentType]->hasFocus());
    for (int field = 0; field < SlipFieldCount; ++field)
        QCOMPARE(background(form.Text1[field]),
                 field == DocumentType ? QColor(255, 255, 0) : QColor(255, 255, 255));
    QCoreApplication::processEvents();
    QCOMPARE(seen.size(), 1);
}

QTEST_MAIN(SlipEntryTest)
#include "SlipEntryTest.moc"
