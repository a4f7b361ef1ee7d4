// SPDX-License-Identifier: GPL-3.0-or-later

#include "AppHarness.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "SystemFiles.h"

#include "core/archive/ArchiveCopies.h"
#include "ui/ArchiveCommands.h"
#include "ui/ArchiveList.h"
#include "ui/PictureButton.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

// The user's dated copies of the archive and the warning when the archive has lost records: the copies
// folder on real files, then the windows started on an archive that a member of the group emptied.
class ArchiveCopiesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsOneCopyADayAndTheNewestSeven();
    void refusesAFolderThatIsNotPrivate_data();
    void refusesAFolderThatIsNotPrivate();
    void countsAreKeptPerArchive();

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

QStringList namesIn(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files, QDir::Name);
}

} // namespace

void ArchiveCopiesTest::keepsOneCopyADayAndTheNewestSeven()
{
    QTemporaryDir home;
    const QString copiesDir = home.filePath(u"copie"_s);
    const ArchiveCopies copies(copiesDir, home.filePath(u"fillcp.dll"_s));
    QString error;

    // The folder is made private at the first copy.
    QVERIFY2(copies.keepCopy("primo giorno", QDate(2026, 12, 1), error), qPrintable(error));
    QVERIFY(QFileInfo(copiesDir).isDir());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(copiesDir), 0700);
    // A second start the same day leaves the day's copy as it was.
    QVERIFY(copies.keepCopy("più tardi", QDate(2026, 12, 1), error));
    QCOMPARE(contents(copiesDir + u"/fillcp-personale-2026-12-01.dll"_s), QByteArray("primo giorno"));

    for (int day = 2; day <= 9; ++day)
        QVERIFY(copies.keepCopy(QByteArray::number(day), QDate(2026, 12, day), error));
    QCOMPARE(namesIn(copiesDir),
             QStringList({u"fillcp-personale-2026-12-03.dll"_s, u"fillcp-personale-2026-12-04.dll"_s,
                          u"fillcp-personale-2026-12-05.dll"_s, u"fillcp-personale-2026-12-06.dll"_s,
                          u"fillcp-personale-2026-12-07.dll"_s, u"fillcp-personale-2026-12-08.dll"_s,
                          u"fillcp-personale-2026-12-09.dll"_s}));
    const QList<ArchiveCopy> kept = copies.copies();
    QCOMPARE(kept.size(), 7);
    QCOMPARE(kept.front().date, QDate(2026, 12, 9));
    QCOMPARE(contents(kept.front().path), QByteArray("9"));
    QVERIFY(copies.hasCopyOf(QDate(2026, 12, 9)));
    QVERIFY(!copies.hasCopyOf(QDate(2026, 12, 10)));
}

void ArchiveCopiesTest::refusesAFolderThatIsNotPrivate_data()
{
    QTest::addColumn<QString>("shape");
    QTest::newRow("a link to a folder") << u"link"_s;
    QTest::newRow("a folder others may write") << u"0777"_s;
    QTest::newRow("a file") << u"file"_s;
}

void ArchiveCopiesTest::refusesAFolderThatIsNotPrivate()
{
    QFETCH(QString, shape);
    QTemporaryDir home;
    const QString copiesDir = home.filePath(u"copie"_s);
    const QString elsewhere = home.filePath(u"altrove"_s);
    QVERIFY(QDir().mkdir(elsewhere));
    QString why;
    if (shape == u"link"_s) {
        if (!makeSymbolicLink(elsewhere, copiesDir, why))
            QSKIP(qPrintable(u"no symbolic link can be made here: "_s + why));
    } else if (shape == u"file"_s) {
        write(copiesDir, "niente");
    } else {
        if (!hasPosixPermissions())
            QSKIP("files here have no POSIX permission bits: the folder's access list rules them");
        QVERIFY(QDir().mkdir(copiesDir));
        QVERIFY(setPermissions(copiesDir, 0777));
    }
    const ArchiveCopies copies(copiesDir, home.filePath(u"fillcp.dll"_s));
    QString error;
    QVERIFY(!copies.keepCopy("dati", QDate(2026, 12, 1), error));
    QVERIFY(!copies.recordCount(3, error));
    QCOMPARE(error, u"La cartella delle copie %1 non è una cartella privata dell'utente, quindi non viene "
                    u"usata."_s.arg(copiesDir));
    // Nothing went through the link.
    QCOMPARE(namesIn(elsewhere), QStringList());
}

void ArchiveCopiesTest::countsAreKeptPerArchive()
{
    QTemporaryDir home;
    const QString copiesDir = home.filePath(u"copie"_s);
    const ArchiveCopies own(copiesDir, home.filePath(u"fillcp.dll"_s));
    const ArchiveCopies shared(copiesDir, u"/var/lib/cedolario/fillcp.dll"_s);
    QCOMPARE(own.lastCount(), std::nullopt);
    QString error;
    QVERIFY(own.recordCount(12, error));
    QVERIFY(shared.recordCount(40, error));
    QVERIFY(shared.keepCopy("comune", QDate(2026, 12, 1), error));
    QCOMPARE(own.lastCount(), std::optional<qsizetype>(12));
    QCOMPARE(shared.lastCount(), std::optional<qsizetype>(40));
    // The shared archive's copy is not the per-user archive's.
    QCOMPARE(own.copies().size(), 0);
    QCOMPARE(shared.copies().size(), 1);
    // A count file that is not a number is no count.
    write(copiesDir + u"/fillcp-personale.conteggio"_s, "dodici\n");
    QCOMPARE(own.lastCount(), std::nullopt);
}

void ArchiveCopiesTest::startupWarnsOfAShrunkArchive_data()
{
    QTest::addColumn<QByteArray>("lastCount"); // the count file's contents, empty for none
    QTest::addColumn<bool>("warned");
    QTest::newRow("first run: no count yet") << QByteArray() << false;
    QTest::newRow("as many as last time") << QByteArray("3\n") << false;
    QTest::newRow("more than last time") << QByteArray("2\n") << false;
    QTest::newRow("fewer than last time") << QByteArray("5\n") << true;
}

void ArchiveCopiesTest::startupWarnsOfAShrunkArchive()
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

void ArchiveCopiesTest::emptiedDuringTheRunIsToldAtTheNextLoad()
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

void ArchiveCopiesTest::ownDeletionsAreNoShrink()
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

QTEST_MAIN(ArchiveCopiesTest)
#include "ArchiveCopiesTest.moc"
