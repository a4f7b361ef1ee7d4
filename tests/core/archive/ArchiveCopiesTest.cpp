// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchiveCopies.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "SystemFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The user's dated copies of the archive and the count of its records, on real files.
class ArchiveCopiesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keepsOneCopyADayAndTheNewestSeven();
    void refusesAFolderThatIsNotPrivate_data();
    void refusesAFolderThatIsNotPrivate();
    void countsAreKeptPerArchive();
};

namespace {

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

    // The folder is made private at the first copy.
    QCOMPARE(copies.keepCopy("primo giorno", QDate(2026, 12, 1)), Failure());
    QVERIFY(QFileInfo(copiesDir).isDir());
    if (hasPosixPermissions())
        QCOMPARE(permissionsOf(copiesDir), 0700);
    // A second start the same day leaves the day's copy as it was.
    QCOMPARE(copies.keepCopy("più tardi", QDate(2026, 12, 1)), Failure());
    QCOMPARE(contents(copiesDir + u"/fillcp-personale-2026-12-01.dll"_s), QByteArray("primo giorno"));

    for (int day = 2; day <= 9; ++day)
        QCOMPARE(copies.keepCopy(QByteArray::number(day), QDate(2026, 12, day)), Failure());
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
    const QString refusal = u"la cartella delle copie %1 non è una cartella privata dell'utente, quindi non "
                            u"viene usata"_s.arg(copiesDir);
    QCOMPARE(copies.keepCopy("dati", QDate(2026, 12, 1)).text(), refusal);
    QCOMPARE(copies.recordCount(3).text(), refusal);
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
    QCOMPARE(own.recordCount(12), Failure());
    QCOMPARE(shared.recordCount(40), Failure());
    QCOMPARE(shared.keepCopy("comune", QDate(2026, 12, 1)), Failure());
    QCOMPARE(own.lastCount(), std::optional<qsizetype>(12));
    QCOMPARE(shared.lastCount(), std::optional<qsizetype>(40));
    // The shared archive's copy is not the per-user archive's.
    QCOMPARE(own.copies().size(), 0);
    QCOMPARE(shared.copies().size(), 1);
    // A count file that is not a number is no count.
    write(copiesDir + u"/fillcp-personale.conteggio"_s, "dodici\n");
    QCOMPARE(own.lastCount(), std::nullopt);
}

QTEST_GUILESS_MAIN(ArchiveCopiesTest)
#include "ArchiveCopiesTest.moc"
