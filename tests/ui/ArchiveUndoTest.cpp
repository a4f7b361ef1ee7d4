// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "HeldArchiveLock.h"

#include "ui/ArchiveList.h"
#include "ui/PictureButton.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>

using namespace Qt::StringLiterals;

// "Annulla l'eliminazione" (Ctrl+Z): the slips deleted in this run put back where they were, on the
// real archive file, whatever another copy did to it meanwhile.
class ArchiveUndoTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void putsBackWhereItWas_data();
    void putsBackWhereItWas();
    void anotherCopyChangedTheArchive_data();
    void anotherCopyChangedTheArchive();
    void ctrlZInAFieldUndoesItsTypingFirst();
    void busyArchiveAsksWhetherToTryAgain();
    void aRemovedArchiveIsNotMadeAgain();
};

namespace {

const QByteArray A = rewrittenRecord("Primo");
const QByteArray B = rewrittenRecord("Secondo");
const QByteArray C = rewrittenRecord("Terzo");
const QByteArray D = rewrittenRecord("Quarto");

QAction* undoAction(AppHarness& app)
{
    return app.palette().findChild<QAction*>(u"undoDeleteAction"_s);
}

void deleteRow(AppHarness& app, int row)
{
    app.palette().List1->setCurrentRow(row);
    app.messages.answers.append(true);
    PictureButton* button = app.palette().Image2[Form2::DeleteButton];
    QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
}

} // namespace

void ArchiveUndoTest::putsBackWhereItWas_data()
{
    QTest::addColumn<QList<int>>("deletedRows"); // in the order deleted
    QTest::addColumn<QByteArray>("afterDeletions");
    QTest::newRow("the middle one") << QList<int>{1} << A + C;
    QTest::newRow("the first one") << QList<int>{0} << B + C;
    QTest::newRow("the last one") << QList<int>{2} << A + B;
    QTest::newRow("two, then both undone") << QList<int>{0, 1} << B;
    QTest::newRow("all three") << QList<int>{0, 0, 0} << QByteArray();
}

void ArchiveUndoTest::putsBackWhereItWas()
{
    QFETCH(QList<int>, deletedRows);
    QFETCH(QByteArray, afterDeletions);
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, A + B + C);
    app.start();
    QAction* undo = undoAction(app);
    QVERIFY(undo);
    QVERIFY(!undo->isEnabled());

    for (int row : deletedRows)
        deleteRow(app, row);
    QCOMPARE(contents(path), afterDeletions);
    QVERIFY(undo->isEnabled());

    for (qsizetype i = 0; i < deletedRows.size(); ++i)
        undo->trigger();
    // The file's bytes as before, the list too, and nothing left to undo.
    QCOMPARE(contents(path), A + B + C);
    QCOMPARE(app.palette().List1->count(), 3);
    QCOMPARE(app.palette().List1->entryText(1), u"07/12/2026 - Secondo"_s);
    QVERIFY(!undo->isEnabled());
    undo->trigger();
    QCOMPARE(contents(path), A + B + C);
    QCOMPARE(app.messages.texts().size(), deletedRows.size()); // the delete questions, nothing else
}

void ArchiveUndoTest::anotherCopyChangedTheArchive_data()
{
    QTest::addColumn<QByteArray>("meanwhile"); // the file as another copy left it after our deletion of B
    QTest::addColumn<QByteArray>("restored");
    QTest::newRow("a slip saved at the end") << A + C + D << A + B + C + D;
    QTest::newRow("a slip put in front") << D + A + C << D + A + B + C;
    QTest::newRow("the one before it deleted") << C << B + C;
    QTest::newRow("the archive emptied") << QByteArray() << B;
}

void ArchiveUndoTest::anotherCopyChangedTheArchive()
{
    QFETCH(QByteArray, meanwhile);
    QFETCH(QByteArray, restored);
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, A + B + C);
    app.start();
    deleteRow(app, 1);
    QCOMPARE(contents(path), A + C);
    write(path, meanwhile);

    QTest::keySequence(app.palette().List1, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(contents(path), restored);
}

void ArchiveUndoTest::ctrlZInAFieldUndoesItsTypingFirst()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, A + B);
    Form1& form = app.start();
    deleteRow(app, 0);
    QCOMPARE(contents(path), B);

    QLineEdit* name = form.Text1[PayerName];
    name->setFocus();
    QTest::keyClicks(name, u"Rossi"_s);
    QTest::keySequence(name, QKeySequence(Qt::CTRL | Qt::Key_Z));
    // The typing went; the deletion stands.
    QCOMPARE(name->text(), QString());
    QCOMPARE(contents(path), B);
    // With no typing left to undo, the same keys put the slip back.
    QTest::keySequence(name, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QCOMPARE(contents(path), A + B);
}

void ArchiveUndoTest::busyArchiveAsksWhetherToTryAgain()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, A + B);
    app.start();
    app.archive().setLockTimeout(50);
    deleteRow(app, 0);
    HeldArchiveLock other(path);
    QVERIFY(other.held());
    app.messages.answers = {false};
    undoAction(app)->trigger();
    QCOMPARE(app.messages.texts().last(),
             u"L'archivio %1 è in uso da un'altra copia del programma.\nRiprovare?"_s.arg(path));
    QCOMPARE(contents(path), B);
    // Given up, it can still be undone once the other copy is done.
    other.release();
    QVERIFY(undoAction(app)->isEnabled());
    undoAction(app)->trigger();
    QCOMPARE(contents(path), A + B);
}

// The archive's file removed after the deletion: nothing is made in its place, and the user is told why
// the slip cannot be put back.
void ArchiveUndoTest::aRemovedArchiveIsNotMadeAgain()
{
    AppHarness app;
    const QString path = app.services.archivePath();
    write(path, A + B);
    app.start();
    deleteRow(app, 0);
    QVERIFY(QFile::remove(path));
    undoAction(app)->trigger();
    QCOMPARE(app.messages.shown.last().kind, ScriptedMessageBoxes::Shown::Critical);
    QCOMPARE(app.messages.shown.last().text,
             u"L'archivio %1 non c'è più: il bollettino eliminato non può essere rimesso."_s.arg(path));
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(ArchiveUndoTest)
#include "ArchiveUndoTest.moc"
