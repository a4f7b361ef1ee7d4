// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "SystemFiles.h"

#include "ui/ArchiveCommands.h"
#include "ui/ArchiveList.h"
#include "ui/PictureButton.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

// The warning when the archive has lost records since the last run: the windows started on an archive
// that a member of the group emptied, and the user's own deletions, which are no loss.
class ShrunkArchiveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startupWarnsOfAShrunkArchive_data();
    void startupWarnsOfAShrunkArchive();
    void emptiedDuringTheRunIsToldAtTheNextLoad();
    void ownDeletionsAreNoShrink();
};

namespace {

QByteArray threeRecords()
{
    return savedRecord("Primo") + savedRecord("Secondo") + savedRecord("Terzo");
}

} // namespace

void ShrunkArchiveTest::startupWarnsOfAShrunkArchive_data()
{
    QTest::addColumn<QByteArray>("lastCount"); // the count file's contents, empty for none
    QTest::addColumn<bool>("warned");
    QTest::newRow("first run: no count yet") << QByteArray() << false;
    QTest::newRow("as many as last time") << QByteArray("3\n") << false;
    QTest::newRow("more than last time") << QByteArray("2\n") << false;
    QTest::newRow("fewer than last time") << QByteArray("5\n") << true;
}

void ShrunkArchiveTest::startupWarnsOfAShrunkArchive()
{
    QFETCH(QByteArray, lastCount);
    QFETCH(bool, warned);
    AppHarness app;
    const QString archive = app.services.archivePath();
    const QString copiesDir = app.directory.filePath(u"copie"_s);
    app.services.copiesDirectory = [copiesDir] { return copiesDir; };
    write(archive, threeRecords());
    QVERIFY(QDir().mkdir(copiesDir));
    if (hasPosixPermissions())
        QVERIFY(setPermissions(copiesDir, 0700));
    const QString yesterday = copiesDir + u"/fillcp-personale-2026-12-06.dll"_s;
    write(yesterday, threeRecords() + savedRecord("Quarto") + savedRecord("Quinto"));
    if (!lastCount.isEmpty())
        write(copiesDir + u"/fillcp-personale.conteggio"_s, lastCount);

    app.start();
    const QString today = copiesDir + u"/fillcp-personale-2026-12-07.dll"_s;
    if (warned) {
        QCOMPARE(
            app.messages.texts(),
            QStringList(u"L'archivio %1 contiene 3 bollettini, ma l'ultima volta che questo programma lo "
                        u"ha usato ne conteneva 5: qualcuno potrebbe averlo svuotato o sostituito.\n\n"
                        u"La copia più recente, del 06/12/2026, è %2.\nPer riprenderla, chiudere il "
                        u"programma e rimetterla al posto dell'archivio:\ncp \"%2\" \"%1\""_s.arg(
                            archive, yesterday)));
        // No copy of the shrunk archive takes the place of a good one.
        app.session.reset();
        QVERIFY(!QFile::exists(today));
    } else {
        QCOMPARE(app.messages.texts(), QStringList());
        app.session.reset(); // waits for the copy
        QCOMPARE(contents(today), threeRecords());
    }
    QCOMPARE(contents(copiesDir + u"/fillcp-personale.conteggio"_s), QByteArray("3\n"));
}

void ShrunkArchiveTest::emptiedDuringTheRunIsToldAtTheNextLoad()
{
    AppHarness app;
    const QString archive = app.services.archivePath();
    const QString copiesDir = app.directory.filePath(u"copie"_s);
    app.services.copiesDirectory = [copiesDir] { return copiesDir; };
    write(archive, threeRecords());
    app.start();
    QCOMPARE(app.messages.texts(), QStringList());
    QTRY_VERIFY(QFile::exists(copiesDir + u"/fillcp-personale-2026-12-07.dll"_s));

    // Another member of the group empties the shared file; this user saves a slip.
    write(archive, QByteArray());
    app.form->setFields({u"Rossi Mario"_s, QString(), QString(), QString(), u"15,00"_s, u"quindici/00"_s,
                         u"Ente"_s, QString(), QString(), u"1234"_s, QString(), u"123"_s});
    app.messages.answers = {true};
    QTest::mouseClick(app.palette().Image2[Form2::SaveButton], Qt::LeftButton, {},
                      app.palette().Image2[Form2::SaveButton]->rect().center());
    const QStringList texts = app.messages.texts();
    QCOMPARE(texts.size(), 3);
    QCOMPARE(texts[1], u"Dati Salvati !!!"_s);
    QVERIFY2(
        texts[2].startsWith(u"L'archivio %1 contiene 1 bollettino, ma l'ultima volta che questo programma "
                            u"lo ha usato ne conteneva 4:"_s.arg(archive)),
        qPrintable(texts[2]));
    QVERIFY2(texts[2].contains(u"del 07/12/2026"_s), qPrintable(texts[2]));
}

void ShrunkArchiveTest::ownDeletionsAreNoShrink()
{
    AppHarness app;
    const QString copiesDir = app.directory.filePath(u"copie"_s);
    app.services.copiesDirectory = [copiesDir] { return copiesDir; };
    write(app.services.archivePath(), threeRecords());
    app.start();
    app.palette().List1->setRowSelected(1, true);
    app.messages.answers = {true};
    QTest::mouseClick(app.palette().Image2[Form2::DeleteButton], Qt::LeftButton, {},
                      app.palette().Image2[Form2::DeleteButton]->rect().center());
    QCOMPARE(app.palette().List1->count(), 2);
    QCOMPARE(app.messages.texts(),
             QStringList(u"Vuoi procedere con la cancellazione ?\n07/12/2026 - Secondo, 10,00 euro"_s));
    QCOMPARE(contents(copiesDir + u"/fillcp-personale.conteggio"_s), QByteArray("2\n"));

    // The next run starts from two: no warning either.
    app.session.reset();
    app.messages.shown.clear();
    app.start();
    QCOMPARE(app.messages.texts(), QStringList());
}

QTEST_MAIN(ShrunkArchiveTest)
#include "ShrunkArchiveTest.moc"
