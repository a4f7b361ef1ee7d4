// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SlipLineEdit.h"
#include "core/slip/SlipFields.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDialog>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

// How text reaches a field without being typed key by key.
enum class InsertPath { KeyboardPaste, ShiftInsertPaste, ContextMenuPaste, Drop, InputMethod, PlainPaste };
Q_DECLARE_METATYPE(InsertPath)

class SlipLineEditTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typedKeys_data();
    void typedKeys();
    void editingKeysStillWork();
    void shortcutsStillWork();
    void insertedText_data();
    void insertedText();
    void setTextIsNotFiltered();
    void cleanedPasteUndoneInOneStep_data();
    void cleanedPasteUndoneInOneStep();
    void focusSignals();
    void noFocusLostForPopup();
    void focusLostWhenAnotherWindowOfOursIsActivated();
    void focusLostDeferredWhileAnotherProgramIsActive();
    void noFocusLostForAMessageBox();

private:
    static void insertBy(InsertPath path, SlipLineEdit& edit, const QString& text);
};

void SlipLineEditTest::typedKeys_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");

    QTest::newRow("account drops letters and signs") << int(AccountNumber) << "12a.3-4 5,"
                                                     << "12345";
    QTest::newRow("type drops letters") << int(DocumentType) << "T1D2 3"
                                        << "123";
    QTest::newRow("postcode drops and stops at five") << int(PayerPostcode) << "0a01 841"
                                                      << "00184";
    QTest::newRow("amount keeps commas") << int(Amount) << "1.234,5x"
                                         << "1234,5";
    QTest::newRow("amount two commas typed") << int(Amount) << "1,2,3"
                                             << "1,2,3";
    QTest::newRow("amount drops minus and euro") << int(Amount) << QStringLiteral("-\u20ac12,50") << "12,50";
    QTest::newRow("name takes everything") << int(PayerName) << " Mario Rossi, 3-b. "
                                           << " Mario Rossi, 3-b. ";
    QTest::newRow("words field takes everything") << int(AmountWords) << "dodici/50"
                                                  << "dodici/50";
    QTest::newRow("town takes accents")
        << int(PayerTown) << QStringLiteral("Forl\u00ec") << QStringLiteral("Forl\u00ec");
}

void SlipLineEditTest::typedKeys()
{
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(QString, text);
    SlipLineEdit edit(field);
    for (QChar c : typed) {
        if (c.unicode() < 128) // keyClicks knows the keys of ASCII characters only
            QTest::keyClicks(&edit, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(edit.text(), text);
}

void SlipLineEditTest::editingKeysStillWork()
{
    SlipLineEdit edit(AccountNumber);
    QTest::keyClicks(&edit, QStringLiteral("12345"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.text(), QStringLiteral("1234"));
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QStringLiteral("234"));
    QTest::keyClick(&edit, Qt::Key_Right);
    QTest::keyClick(&edit, Qt::Key_Space);
    QTest::keyClicks(&edit, QStringLiteral("9"));
    QCOMPARE(edit.text(), QStringLiteral("2934"));
    QCOMPARE(edit.cursorPosition(), 2);
}

void SlipLineEditTest::shortcutsStillWork()
{
    SlipLineEdit edit(Amount);
    QTest::keyClicks(&edit, QStringLiteral("12,50"));
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit.selectedText(), QStringLiteral("12,50"));
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("12,50"));
    QTest::keyClicks(&edit, QStringLiteral("7"));
    QCOMPARE(edit.text(), QStringLiteral("7"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("12,50"));
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.text(), QStringLiteral("12,5012,50"));
}

void SlipLineEditTest::insertBy(InsertPath path, SlipLineEdit& edit, const QString& text)
{
    switch (path) {
    case InsertPath::KeyboardPaste:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
        break;
    case InsertPath::ShiftInsertPaste:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(&edit, Qt::Key_Insert, Qt::ShiftModifier);
        break;
    case InsertPath::ContextMenuPaste: {
        QGuiApplication::clipboard()->setText(text);
        QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                    edit.mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(&edit, &menuEvent);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QAction* paste = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QLineEdit::tr("&Paste")))
                paste = action;
        }
        QVERIFY(paste);
        paste->trigger();
        menu->close();
        break;
    }
    case InsertPath::Drop: {
        QMimeData data;
        data.setText(text);
        const QPoint end(edit.width() - 2, edit.height() / 2);
        QDragEnterEvent enter(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &enter);
        QDropEvent drop(end, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &drop);
        QVERIFY(drop.isAccepted());
        break;
    }
    case InsertPath::InputMethod: {
        QInputMethodEvent compose(QString(), {});
        compose.setCommitString(text);
        QApplication::sendEvent(&edit, &compose);
        break;
    }
    case InsertPath::PlainPaste:
        // QLineEdit's own slot, which bypasses the field's paste: the edit is cleaned afterwards.
        QGuiApplication::clipboard()->setText(text);
        edit.paste();
        break;
    }
}

void SlipLineEditTest::insertedText_data()
{
    QTest::addColumn<InsertPath>("path");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("inserted");
    QTest::addColumn<QString>("after");

    const struct {
        const char* name;
        InsertPath path;
    } paths[] = {
        {"ctrl-v", InsertPath::KeyboardPaste},        {"shift-insert", InsertPath::ShiftInsertPaste},
        {"menu paste", InsertPath::ContextMenuPaste}, {"drop", InsertPath::Drop},
        {"input method", InsertPath::InputMethod},
    };
    for (const auto& p : paths) {
        const QByteArray name(p.name);
        QTest::newRow(name + ": account keeps digits") << p.path << int(AccountNumber) << ""
                                                       << "IT 12 34\r\n"
                                                       << "1234";
        QTest::newRow(name + ": amount keeps digits and comma")
            << p.path << int(Amount) << "" << QStringLiteral("\u20ac 1.234,56") << "1234,56";
        QTest::newRow(name + ": postcode cleaned then cut") << p.path << int(PayerPostcode) << ""
                                                            << "00 18 4 9"
                                                            << "00184";
        QTest::newRow(name + ": postcode appended up to five") << p.path << int(PayerPostcode) << "12"
                                                               << "3 4 5 6"
                                                               << "12345";
        QTest::newRow(name + ": name line break becomes space") << p.path << int(PayerName) << "Mario"
                                                                << "\r\nRossi"
                                                                << "Mario Rossi";
        QTest::newRow(name + ": reason lines joined") << p.path << int(PaymentReason) << ""
                                                      << "rata 1\nrata 2\n"
                                                      << "rata 1 rata 2 ";
    }
    QTest::newRow("plain paste: account") << InsertPath::PlainPaste << int(AccountNumber) << "9"
                                          << "-1 2\n3"
                                          << "9123";
    QTest::newRow("plain paste: name line break") << InsertPath::PlainPaste << int(PayerName) << "Mario"
                                                  << "\nRossi\r\n"
                                                  << "Mario Rossi ";
    QTest::newRow("plain paste: amount") << InsertPath::PlainPaste << int(Amount) << ""
                                         << "EUR 5,5"
                                         << "5,5";
    // Here the length limit has cut the text before the field sees it: the rest is cleaned.
    QTest::newRow("plain paste: postcode cut then cleaned")
        << InsertPath::PlainPaste << int(PayerPostcode) << ""
        << "00 18 4 9"
        << "0018";
}

void SlipLineEditTest::insertedText()
{
    QFETCH(InsertPath, path);
    QFETCH(int, field);
    QFETCH(QString, before);
    QFETCH(QString, inserted);
    QFETCH(QString, after);

    QWidget window;
    auto* edit = new SlipLineEdit(field, &window);
    edit->setText(before);
    edit->end(false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();

    insertBy(path, *edit, inserted);
    QCOMPARE(edit->text(), after);
}

void SlipLineEditTest::cleanedPasteUndoneInOneStep_data()
{
    QTest::addColumn<InsertPath>("path");
    QTest::newRow("ctrl-v") << InsertPath::KeyboardPaste;
    QTest::newRow("plain paste") << InsertPath::PlainPaste;
}

void SlipLineEditTest::cleanedPasteUndoneInOneStep()
{
    QFETCH(InsertPath, path);
    QWidget window;
    auto* edit = new SlipLineEdit(AccountNumber, &window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("12"));
    QTest::keyClick(edit, Qt::Key_Left);
    insertBy(path, *edit, QStringLiteral("a3-4b"));
    QCOMPARE(edit->text(), QStringLiteral("1342"));
    QCOMPARE(edit->cursorPosition(), 3);

    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit->text(), QStringLiteral("12"));
}

void SlipLineEditTest::setTextIsNotFiltered()
{
    // A recalled slip keeps what it holds, and typing next to it leaves it alone.
    SlipLineEdit edit(AccountNumber);
    edit.setText(QStringLiteral("12-34"));
    edit.end(false);
    QTest::keyClicks(&edit, QStringLiteral("5x"));
    QCOMPARE(edit.text(), QStringLiteral("12-345"));
}

namespace {

// A window with two fields, shown and active, the focus in the first.
struct TwoFields {
    QWidget window;
    SlipLineEdit* first = new SlipLineEdit(AccountNumber, &window);
    SlipLineEdit* second = new SlipLineEdit(Amount, &window);

    TwoFields()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(first);
        layout->addWidget(second);
    }

    bool showAndFocusFirst()
    {
        window.show();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        first->setFocus(Qt::OtherFocusReason);
        return first->hasFocus();
    }
};

} // namespace

void SlipLineEditTest::focusSignals()
{
    TwoFields form;
    QSignalSpy gained(form.second, &SlipLineEdit::focusGained);
    QSignalSpy lost(form.first, &SlipLineEdit::focusLost);
    QVERIFY(form.showAndFocusFirst());

    QTest::keyClick(form.first, Qt::Key_Tab);
    QVERIFY(form.second->hasFocus());
    QCOMPARE(lost.count(), 1);
    QCOMPARE(lost.at(0).at(0).toInt(), int(AccountNumber));
    QCOMPARE(gained.count(), 1);
    QCOMPARE(gained.at(0).at(0).toInt(), int(Amount));
}

void SlipLineEditTest::noFocusLostForPopup()
{
    TwoFields form;
    QVERIFY(form.showAndFocusFirst());
    QSignalSpy lost(form.first, &SlipLineEdit::focusLost);

    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                form.first->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(form.first, &menuEvent);
    QPointer<QWidget> menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QCOMPARE(lost.count(), 0);
    menu->close();
    QTRY_VERIFY(menu.isNull()); // deleted on close
    // The offscreen platform leaves no window active once the popup is gone: give the form its activation
    // back.
    QApplication::setActiveWindow(&form.window);
    QTRY_VERIFY(form.first->hasFocus());
    QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 0);
}

void SlipLineEditTest::focusLostWhenAnotherWindowOfOursIsActivated()
{
    TwoFields form;
    QVERIFY(form.showAndFocusFirst());
    QSignalSpy lost(form.first, &SlipLineEdit::focusLost);

    QWidget palette;
    palette.show();
    QApplication::setActiveWindow(&palette);
    QCOMPARE(lost.count(), 1);
}

void SlipLineEditTest::focusLostDeferredWhileAnotherProgramIsActive()
{
    TwoFields form;
    QVERIFY(form.showAndFocusFirst());
    QSignalSpy lost(form.first, &SlipLineEdit::focusLost);

    // Away to another program and back to the same field: the field never lost the focus inside the form.
    QApplication::setActiveWindow(nullptr);
    QCOMPARE(lost.count(), 0);
    QApplication::setActiveWindow(&form.window);
    QTRY_VERIFY(form.first->hasFocus());
    QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 0);

    // Away again, then back by way of another window of ours: now the field has been left.
    QApplication::setActiveWindow(nullptr);
    QWidget palette;
    palette.show();
    QApplication::setActiveWindow(&palette);
    QTRY_COMPARE(lost.count(), 1);
    QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 1);
}

void SlipLineEditTest::noFocusLostForAMessageBox()
{
    TwoFields form;
    QVERIFY(form.showAndFocusFirst());
    QSignalSpy lost(form.first, &SlipLineEdit::focusLost);

    QDialog box(&form.window);
    box.setModal(true);
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    QCOMPARE(QApplication::activeModalWidget(), &box);
    QCOMPARE(lost.count(), 0);
    box.close();
    form.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form.window));
    QTRY_VERIFY(form.first->hasFocus());
    QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 0);
}

QTEST_MAIN(SlipLineEditTest)
#include "SlipLineEditTest.moc"
