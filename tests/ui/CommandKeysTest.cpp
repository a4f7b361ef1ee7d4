// SPDX-License-Identifier: GPL-3.0-or-later

// The palette's commands from the keyboard: each one action for its button, menu entries and key, on
// both windows, made from the session's table of commands; the rules of leaving a field applied before
// any command reads the slip; Canc, Down and Return where the list and the search line have the
// focus; the buttons pressed by a key.
#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "ui/ArchiveList.h"
#include "ui/PictureButton.h"
#include "ui/apertura.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>

using namespace Qt::StringLiterals;

namespace {

// The texts a page prints, in order.
QStringList printedTexts(const QStringList& page)
{
    QStringList texts;
    for (const QString& call : page) {
        const qsizetype open = call.indexOf(u'|');
        if (call.startsWith(u"PrintAt"_s) && open >= 0)
            texts.append(call.mid(open + 1, call.size() - open - 2));
    }
    return texts;
}

// The window active and the widget in it with the focus, as the user left them.
bool focusIn(QWidget* window, QWidget* focused)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        return false;
    focused->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([focused] { return focused->hasFocus(); });
}

// What the commands produced, one text each: the pages printed, saved as PDF or previewed, and the
// amounts of the slips saved.
QStringList produced(AppHarness& app)
{
    QStringList outputs;
    for (const auto* pages :
         {&app.printer.printedPages, &app.printer.pdfPages, &app.printDialogs.previewedPages})
        for (const QStringList& page : *pages)
            outputs.append(page.join(u'\n'));
    for (const SlipRecord& record : app.archive().table())
        outputs.append(u'|' + record.column(FirstFieldColumn + Amount) + u'|');
    return outputs;
}

// The rows of the session's table of commands as test rows, named by their actions.
void addCommandRows(bool guardedOnly)
{
    QTest::addColumn<int>("row");
    for (const Session::CommandRow& row : Session::commandTable()) {
        if (!guardedOnly || row.guard != Session::Guard::None)
            QTest::newRow(row.objectName) << int(row.command);
    }
}

void writeArchive(AppHarness& app, const QByteArray& bytes)
{
    QFile file(app.services.archivePath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class CommandKeysTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyRowIsWellFormed();
    void oneActionPerCommand_data();
    void oneActionPerCommand();
    void everyRowMakesOneActionWhereItSays_data();
    void everyRowMakesOneActionWhereItSays();
    void nothingOutsideTheTable();
    void guardRunsBeforeTheCommand_data();
    void guardRunsBeforeTheCommand();
    void keysApplyTheRulesOfLeavingTheField_data();
    void keysApplyTheRulesOfLeavingTheField();
    void refusedAmountStopsTheCommand_data();
    void refusedAmountStopsTheCommand();
    void keysWorkWhileThePaletteIsActive();
    void deleteKeyDeletesARecordOnlyInTheList();
    void searchLineLeadsIntoTheListAndRecalls();
    void buttonPressedByTheKeyboard();
};

// Each row in its command's place, running one thing, with a key exactly where it has a scope, and
// the guard that gives a slip exactly on the print commands.
void CommandKeysTest::everyRowIsWellFormed()
{
    const std::span<const Session::CommandRow> rows = Session::commandTable();
    QCOMPARE(rows.size(), std::size_t(Session::Command::Count));
    for (std::size_t index = 0; index < rows.size(); ++index) {
        const Session::CommandRow& row = rows[index];
        const QByteArray name = row.objectName;
        QVERIFY2(std::size_t(row.command) == index, name);
        QVERIFY2((row.run == nullptr) != (row.print == nullptr), name);
        QVERIFY2((row.print != nullptr) == (row.guard == Session::Guard::FieldRulesAndModel), name);
        QVERIFY2((row.key.combination == QKeyCombination()) == (row.key.scope == Session::KeyScope::Nowhere),
                 name);
    }
}

void CommandKeysTest::oneActionPerCommand_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QKeySequence>("key");

    QTest::newRow("stampa") << int(Form2::PrintButton) << u"printAction"_s << u"Stampa"_s
                            << QKeySequence(u"Ctrl+Alt+P"_s);
    QTest::newRow("salva") << int(Form2::SaveButton) << u"saveAction"_s << u"Salva"_s
                           << QKeySequence(u"Ctrl+S"_s);
    QTest::newRow("apri") << int(Form2::RecallButton) << u"recallAction"_s << u"Apri"_s
                          << QKeySequence(u"Ctrl+O"_s);
    QTest::newRow("elimina") << int(Form2::DeleteButton) << u"deleteAction"_s << u"Elimina"_s
                             << QKeySequence(u"Del"_s);
    QTest::newRow("info") << int(Form2::InfoButton) << u"infoAction"_s << u"Informazioni"_s
                          << QKeySequence(u"F1"_s);
    QTest::newRow("exit") << int(Form2::ExitButton) << u"exitAction"_s << u"Esci"_s
                          << QKeySequence(u"Ctrl+Q"_s);
}

// The buttons' actions, named, worded and keyed as they always were.
void CommandKeysTest::oneActionPerCommand()
{
    QFETCH(int, button);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QKeySequence, key);

    AppHarness app;
    app.start();
    Form2& palette = app.palette();
    QAction* action = palette.findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action, app.session->commandAction(button));
    QCOMPARE(action->text(), text);
    QCOMPARE(action->shortcut(), key);
}

void CommandKeysTest::everyRowMakesOneActionWhereItSays_data()
{
    addCommandRows(false);
}

// The action a row makes: one, with the row's name, text and key, in the menus the row names, run by
// its button and its key where the row puts them and by nothing else.
void CommandKeysTest::everyRowMakesOneActionWhereItSays()
{
    QFETCH(int, row);
    const Session::CommandRow& command = Session::commandTable()[std::size_t(row)];
    AppHarness app;
    Form1& form = app.start();
    Form2& palette = app.palette();
    const QString name = QString::fromLatin1(command.objectName);
    const QList<QAction*> named = palette.findChildren<QAction*>(name) + form.findChildren<QAction*>(name);
    QCOMPARE(named.size(), 1);
    QAction* action = named.front();
    QCOMPARE(app.session->action(command.command), action);
    QCOMPARE(action->text(), QString::fromUtf16(command.text));
    const bool keyed = command.key.scope != Session::KeyScope::Nowhere;
    QCOMPARE(action->shortcut(), keyed ? QKeySequence(command.key.combination) : QKeySequence());
    QCOMPARE(form.actions().contains(action), command.key.scope == Session::KeyScope::BothWindows);
    QCOMPARE(palette.actions().contains(action), command.key.scope == Session::KeyScope::BothWindows);
    QCOMPARE(palette.List1->actions().contains(action), command.key.scope == Session::KeyScope::List);
    for (int button = Form2::ExitButton; button <= Form2::DeleteButton; ++button)
        QCOMPARE(app.session->commandAction(button) == action, button == command.button);
    QCOMPARE(palette.PaletteMenu->actions().count(action), command.paletteMenu.group > 0 ? 1 : 0);
    QCOMPARE(palette.ListMenu->actions().count(action), command.listMenu.group > 0 ? 1 : 0);

    // Nothing is asked for: a save is answered No, a deletion finds no entry, the exit is counted.
    app.messages.answers = {false, false};
    QSignalSpy triggered(action, &QAction::triggered);
    int expected = 0;
    if (keyed) {
        // The key works where the row says: a list key in a field does nothing. (An action waiting for
        // its moment, as the undoing of a deletion, is enabled first.)
        action->setEnabled(true);
        QVERIFY(focusIn(&form, form.Text1[PayerName]));
        QTest::keySequence(form.Text1[PayerName], QKeySequence(command.key.combination));
        if (command.key.scope == Session::KeyScope::List) {
            QCOMPARE(triggered.count(), 0);
            QVERIFY(focusIn(&palette, palette.List1));
            QTest::keySequence(palette.List1, QKeySequence(command.key.combination));
        }
        QCOMPARE(triggered.count(), ++expected);
    }
    if (command.button >= 0) {
        palette.Image2[std::size_t(command.button)]->press();
        QCOMPARE(triggered.count(), ++expected);
    }
}

// No window or menu holds an action no row made (the menus' order, written out, is
// ArchiveSearchTest's).
void CommandKeysTest::nothingOutsideTheTable()
{
    AppHarness app;
    Form1& form = app.start();
    Form2& palette = app.palette();
    QSet<QAction*> made;
    for (const Session::CommandRow& row : Session::commandTable())
        made.insert(app.session->action(row.command));
    QList<QAction*> held = form.actions() + palette.actions() + palette.List1->actions() +
                           palette.PaletteMenu->actions() + palette.ListMenu->actions();
    held.removeIf([](const QAction* action) { return action->isSeparator(); });
    QVERIFY(!held.isEmpty());
    for (QAction* action : std::as_const(held))
        QVERIFY2(made.contains(action), qPrintable(action->text()));
}

void CommandKeysTest::guardRunsBeforeTheCommand_data()
{
    addCommandRows(true);
}

// Triggered however, a guarded command reads the amount the rules of leaving the field made of what is
// still being typed; a print command with neither model chosen then prints, asks and opens nothing.
void CommandKeysTest::guardRunsBeforeTheCommand()
{
    QFETCH(int, row);
    const Session::CommandRow& command = Session::commandTable()[std::size_t(row)];
    AppHarness app;
    Form1& form = app.start();
    QAction* action = app.session->action(command.command);
    app.printDialogs.choice = PrinterChoice{u"ufficio"_s, 1, QString()};
    app.messages.answers = {true};
    QVERIFY(focusIn(&form, form.Text1[Amount]));
    QTest::keyClicks(form.Text1[Amount], u"5,5"_s);

    action->trigger();
    QCOMPARE(form.fieldText(Amount), u"5,50"_s);
    const QStringList outputs = produced(app);
    QCOMPARE(outputs.size(), 1);
    QVERIFY2(outputs.front().contains(u"|5,50|"_s), qPrintable(outputs.front()));
    if (command.guard != Session::Guard::FieldRulesAndModel)
        return;

    app.palette().setPaletteState(PaletteState{false, false, CheckBoxState::Ticked});
    const qsizetype shown = app.messages.shown.size();
    const int choices = app.printDialogs.printerChoices;
    QVERIFY(focusIn(&form, form.Text1[Amount]));
    form.Text1[Amount]->clear();
    QTest::keyClicks(form.Text1[Amount], u"7,"_s);
    action->trigger();
    QCOMPARE(form.fieldText(Amount), u"7,00"_s);
    QCOMPARE(produced(app), outputs);
    QCOMPARE(app.messages.shown.size(), shown);
    QCOMPARE(app.printDialogs.printerChoices, choices);
}

void CommandKeysTest::keysApplyTheRulesOfLeavingTheField_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("words");
    QTest::addColumn<QString>("codeLine");

    // The code line's amount piece is printed as the slip form's preview shows it.
    QTest::newRow("stampa, 5,5 still being typed")
        << QKeySequence(u"Ctrl+Alt+P"_s) << u"5,5"_s << u"5,50"_s << u"cinque/50"_s << u"00000005+50>"_s;
    QTest::newRow("Stampa su, spaces around")
        << QKeySequence(u"Ctrl+P"_s) << u" 12,345 "_s << u"12,35"_s << u"dodici/35"_s << u"00000012+35>"_s;
    QTest::newRow("Anteprima, no decimals after the comma")
        << QKeySequence(u"Ctrl+Shift+P"_s) << u"7,"_s << u"7,00"_s << u"sette/00"_s << u"00000007+00>"_s;
    QTest::newRow("salva, leading zeros")
        << QKeySequence(u"Ctrl+S"_s) << u"0099,9"_s << u"99,90"_s << u"novantanove/90"_s << u"00000099+90>"_s;
}

// A key pressed while the amount is still being typed: what is printed, previewed or saved is the
// formatted amount with its own words and code line, never the text as typed with older words.
void CommandKeysTest::keysApplyTheRulesOfLeavingTheField()
{
    QFETCH(QKeySequence, key);
    QFETCH(QString, typed);
    QFETCH(QString, amount);
    QFETCH(QString, words);
    QFETCH(QString, codeLine);

    AppHarness app;
    Form1& form = app.start();
    QVERIFY(focusIn(&form, form.Text1[Amount]));
    // Words of another amount, left from before.
    form.setFieldText(AmountWords, u"novantanove/90"_s);
    QTest::keyClicks(form.Text1[Amount], typed.trimmed());
    if (typed.startsWith(u' '))
        form.setFieldText(Amount, typed);
    app.printDialogs.choice = PrinterChoice{u"ufficio"_s, 1, QString()};
    app.messages.answers = {true};

    QTest::keySequence(form.Text1[Amount], key);

    QCOMPARE(form.fieldText(Amount), amount);
    QCOMPARE(form.fieldText(AmountWords), words);
    QCOMPARE(form.Label15->text(), codeLine);
    // The field keeps the focus and its yellow.
    QVERIFY(form.Text1[Amount]->hasFocus());
    QCOMPARE(form.Text1[Amount]->palette().color(QPalette::Base), QColor(255, 255, 0));

    QStringList page;
    if (key == QKeySequence(u"Ctrl+S"_s)) {
        QCOMPARE(app.archive().table().size(), 1);
        const SlipRecord& saved = app.archive().table().front();
        QCOMPARE(saved.column(FirstFieldColumn + Amount), amount);
        QCOMPARE(saved.column(FirstFieldColumn + AmountWords), words);
        return;
    }
    if (key == QKeySequence(u"Ctrl+Shift+P"_s)) {
        QCOMPARE(app.printDialogs.previewedPages.size(), std::size_t(1));
        page = app.printDialogs.previewedPages.front();
    } else {
        QCOMPARE(app.printer.printedPages.size(), std::size_t(1));
        page = app.printer.printedPages.front();
    }
    const QStringList texts = printedTexts(page);
    QVERIFY2(texts.contains(amount), qPrintable(texts.join(u" / "_s)));
    QVERIFY2(texts.contains(words), qPrintable(texts.join(u" / "_s)));
    QVERIFY2(texts.contains(codeLine), qPrintable(texts.join(u" / "_s)));
}

void CommandKeysTest::refusedAmountStopsTheCommand_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::newRow("stampa") << QKeySequence(u"Ctrl+Alt+P"_s);
    QTest::newRow("Stampa su") << QKeySequence(u"Ctrl+P"_s);
    QTest::newRow("Anteprima") << QKeySequence(u"Ctrl+Shift+P"_s);
    QTest::newRow("salva") << QKeySequence(u"Ctrl+S"_s);
}

// 1500 has no comma: the message of leaving the field, the field emptied, and nothing printed,
// previewed, asked or saved.
void CommandKeysTest::refusedAmountStopsTheCommand()
{
    QFETCH(QKeySequence, key);
    AppHarness app;
    Form1& form = app.start();
    QVERIFY(focusIn(&form, form.Text1[Amount]));
    QTest::keyClicks(form.Text1[Amount], u"1500"_s);
    app.printDialogs.choice = PrinterChoice{u"ufficio"_s, 1, QString()};

    QTest::keySequence(form.Text1[Amount], key);

    QCOMPARE(app.messages.texts(), QStringList{u"Formato IMPORTO non valido!!!"_s});
    QCOMPARE(form.fieldText(Amount), QString());
    QVERIFY(app.printer.printedPages.empty());
    QVERIFY(app.printDialogs.previewedPages.empty());
    QCOMPARE(app.printDialogs.printerChoices, 0);
    QCOMPARE(app.archive().table().size(), 0);
}

// With the focus in the palette (its list), the keys still run their commands.
void CommandKeysTest::keysWorkWhileThePaletteIsActive()
{
    AppHarness app;
    app.start();
    Form2& palette = app.palette();
    QVERIFY(focusIn(&palette, palette.List1));
    app.printDialogs.choice = PrinterChoice{u"ufficio"_s, 2, QString()};

    QTest::keySequence(palette.List1, QKeySequence(u"Ctrl+P"_s));
    QCOMPARE(app.printDialogs.printerChoices, 1);
    QCOMPARE(app.printer.targets.size(), std::size_t(1));
    QCOMPARE(app.printer.targets.front().printerName, u"ufficio"_s);

    QTest::keySequence(palette.List1, QKeySequence(u"Ctrl+Alt+P"_s));
    QCOMPARE(app.printer.printedPages.size(), std::size_t(2));

    QTest::keySequence(palette.List1, QKeySequence(u"Ctrl+Q"_s));
    QCOMPARE(app.exits, 1);
}

// Canc in a field deletes a character and never a record; in the list it deletes the chosen record.
void CommandKeysTest::deleteKeyDeletesARecordOnlyInTheList()
{
    AppHarness app;
    writeArchive(app, savedRecord("Rossi") + savedRecord("Ferre"));
    Form1& form = app.start();
    QVERIFY(focusIn(&form, form.Text1[PayerName]));
    Form2& palette = app.palette();
    palette.List1->setCurrentRow(1);
    QTest::keyClicks(form.Text1[PayerName], u"Mario"_s);
    form.Text1[PayerName]->setCursorPosition(0);

    QTest::keyClick(form.Text1[PayerName], Qt::Key_Delete);
    QCOMPARE(form.fieldText(PayerName), u"ario"_s);
    QVERIFY(app.messages.shown.isEmpty());
    QCOMPARE(palette.List1->count(), 2);

    palette.activateWindow();
    QApplication::setActiveWindow(&palette);
    palette.List1->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(palette.List1->hasFocus());
    app.messages.answers = {true};
    QTest::keyClick(palette.List1, Qt::Key_Delete);
    QCOMPARE(names(app.archive().table()), QStringList{u"Rossi"_s});
    QCOMPARE(palette.List1->count(), 1);
}

// Ctrl+F, a few letters, Down into the list on the first entry found, Return recalls it; Return in the
// search line itself recalls the first entry found.
void CommandKeysTest::searchLineLeadsIntoTheListAndRecalls()
{
    AppHarness app;
    writeArchive(app, savedRecord("Rossi") + savedRecord("Ferre") + savedRecord("Ferraris"));
    Form1& form = app.start();
    QVERIFY(focusIn(&form, form.Text1[PayerName]));
    Form2& palette = app.palette();

    QTest::keySequence(form.Text1[PayerName], QKeySequence(u"Ctrl+F"_s));
    QTRY_VERIFY(palette.SearchBox->hasFocus());
    QTest::keyClicks(palette.SearchBox, u"ferr"_s);
    QTRY_COMPARE(palette.List1->count(), 2);
    QTest::keyClick(palette.SearchBox, Qt::Key_Down);
    QTRY_VERIFY(palette.List1->hasFocus());
    QCOMPARE(palette.List1->currentRow(), 0);
    QTest::keyClick(palette.List1, Qt::Key_Down);
    QCOMPARE(palette.SelectedListIndex(), std::optional<qsizetype>(2));
    QTest::keyClick(palette.List1, Qt::Key_Return);
    QCOMPARE(form.fieldText(PayerName), u"Ferraris"_s);

    palette.SearchBox->setFocus(Qt::OtherFocusReason);
    palette.List1->clearSelection();
    QTest::keyClick(palette.SearchBox, Qt::Key_Return);
    QCOMPARE(form.fieldText(PayerName), u"Ferre"_s);
}

// A picture button that Tab has reached: Space and Return press it, a letter does not.
void CommandKeysTest::buttonPressedByTheKeyboard()
{
    AppHarness app;
    app.start();
    Form2& palette = app.palette();
    PictureButton* info = palette.Image2[Form2::InfoButton];
    PictureButton* print = palette.Image2[Form2::PrintButton];
    QVERIFY(focusIn(&palette, print));

    QTest::keyClick(print, Qt::Key_A);
    QVERIFY(app.printer.printedPages.empty());
    QTest::keyClick(print, Qt::Key_Space);
    QCOMPARE(app.printer.printedPages.size(), std::size_t(1));
    QTest::keyClick(print, Qt::Key_Return);
    QCOMPARE(app.printer.printedPages.size(), std::size_t(2));

    info->setFocus(Qt::TabFocusReason);
    QTest::keyClick(info, Qt::Key_Space);
    QTRY_VERIFY(app.session->aboutWindow() && app.session->aboutWindow()->isVisible());
}

QTEST_MAIN(CommandKeysTest)
#include "CommandKeysTest.moc"
