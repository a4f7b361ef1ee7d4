// SPDX-License-Identifier: GPL-3.0-or-later

// The archives an earlier version left where it kept them: what each place holds, how many of its slips
// the user's archive lacks, and that the old files are only ever read.
#include "core/archive/OldArchive.h"
#include "ArchiveRecords.h"
#include "FileBytes.h"
#include "core/archive/ArchiveDates.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Kind = OldArchivePlace::Kind;

// What a test puts at a place: bytes, or one of these.
const QByteArray Nothing = "<nothing>";
const QByteArray AFolder = "<folder>";
const QByteArray ALink = "<link>";

// A record of the given payer saved on the given day.
QByteArray dated(const QByteArray& name, const QByteArray& date)
{
    return QByteArray(savedRecord(name)).replace("07 dicembre 2026", date);
}

} // namespace

class OldArchiveTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void placesAreTold_data();
    void placesAreTold();
    void aFileOverTheLimitIsUnreadable();
    void theQuestionCountsEachSlipOnce();
};

void OldArchiveTest::placesAreTold_data()
{
    // Four places, as on Windows: the system folder, SysWOW64, and the VirtualStore copies of both.
    QTest::addColumn<QByteArrayList>("places");
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<QList<qsizetype>>("newPerPlace");
    QTest::addColumn<qsizetype>("newSlips");

    const QByteArray rossi = savedRecord("Rossi");
    const QByteArray verdi = savedRecord("Verdi");
    const QByteArray bianchi = savedRecord("Bianchi");
    QTest::newRow("none anywhere") << QByteArrayList{Nothing, Nothing, Nothing, Nothing} << rossi
                                   << QList<Kind>{Kind::Missing, Kind::Missing, Kind::Missing, Kind::Missing}
                                   << QList<qsizetype>{0, 0, 0, 0} << qsizetype(0);
    QTest::newRow("an empty file, and one that is no archive")
        << QByteArrayList{"", "MZ\x90\x00 not an archive", Nothing, Nothing} << QByteArray()
        << QList<Kind>{Kind::Empty, Kind::Empty, Kind::Missing, Kind::Missing} << QList<qsizetype>{0, 0, 0, 0}
        << qsizetype(0);
    QTest::newRow("the same slips as the user's archive")
        << QByteArrayList{rossi + verdi, Nothing, Nothing, Nothing} << verdi + rossi
        << QList<Kind>{Kind::NothingNew, Kind::Missing, Kind::Missing, Kind::Missing}
        << QList<qsizetype>{0, 0, 0, 0} << qsizetype(0);
    QTest::newRow("the same day in English")
        << QByteArrayList{dated("Rossi", "07 December 2026"), Nothing, Nothing, Nothing} << rossi
        << QList<Kind>{Kind::NothingNew, Kind::Missing, Kind::Missing, Kind::Missing}
        << QList<qsizetype>{0, 0, 0, 0} << qsizetype(0);
    QTest::newRow("new slips in the system folder, one repeated")
        << QByteArrayList{rossi + verdi + bianchi + verdi, Nothing, Nothing, Nothing} << rossi
        << QList<Kind>{Kind::NewSlips, Kind::Missing, Kind::Missing, Kind::Missing}
        << QList<qsizetype>{2, 0, 0, 0} << qsizetype(2);
    QTest::newRow("a VirtualStore copy brings only what the first lacks")
        << QByteArrayList{verdi, Nothing, verdi + bianchi, Nothing} << QByteArray()
        << QList<Kind>{Kind::NewSlips, Kind::Missing, Kind::NewSlips, Kind::Missing}
        << QList<qsizetype>{1, 0, 1, 0} << qsizetype(2);
    QTest::newRow("a same day written otherwise is another slip")
        << QByteArrayList{Nothing, dated("Rossi", "8 dicembre 2026"), Nothing, Nothing} << rossi
        << QList<Kind>{Kind::Missing, Kind::NewSlips, Kind::Missing, Kind::Missing}
        << QList<qsizetype>{0, 1, 0, 0} << qsizetype(1);
    QTest::newRow("a folder at the name is unreadable, the others still counted")
        << QByteArrayList{AFolder, Nothing, Nothing, verdi} << QByteArray()
        << QList<Kind>{Kind::Unreadable, Kind::Missing, Kind::Missing, Kind::NewSlips}
        << QList<qsizetype>{0, 0, 0, 1} << qsizetype(1);
#ifndef Q_OS_WIN
    QTest::newRow("a link is never followed")
        << QByteArrayList{ALink, Nothing, Nothing, Nothing} << QByteArray()
        << QList<Kind>{Kind::Unreadable, Kind::Missing, Kind::Missing, Kind::Missing}
        << QList<qsizetype>{0, 0, 0, 0} << qsizetype(0);
#endif
}

void OldArchiveTest::placesAreTold()
{
    QFETCH(QByteArrayList, places);
    QFETCH(QByteArray, current);
    QFETCH(QList<Kind>, kinds);
    QFETCH(QList<qsizetype>, newPerPlace);
    QFETCH(qsizetype, newSlips);

    QTemporaryDir dir;
    // The link's target, a real archive, which must not be read through the link.
    write(dir.filePath(u"elsewhere.dll"_s), savedRecord("Altrove"));
    QStringList paths;
    for (qsizetype index = 0; index < places.size(); ++index) {
        const QString folder = dir.filePath(u"place%1"_s.arg(index));
        QDir().mkpath(folder);
        const QString path = folder + u"/fillcp.dll"_s;
        paths.append(path);
        if (places[index] == AFolder)
            QDir().mkpath(path);
        else if (places[index] == ALink)
            QVERIFY(QFile::link(dir.filePath(u"elsewhere.dll"_s), path));
        else if (places[index] != Nothing)
            write(path, places[index]);
    }
    // One place's folder missing altogether, as SysWOW64 on a 32-bit system.
    paths.append(dir.filePath(u"nofolder/fillcp.dll"_s));
    kinds.append(Kind::Missing);
    newPerPlace.append(0);

    const StoredDateReader dates(QLocale(QLocale::English));
    const OldArchiveSearch search = searchOldArchives(paths, readArchive(current), &dates);
    QCOMPARE(search.places.size(), paths.size());
    QList<Kind> foundKinds;
    QList<qsizetype> foundNew;
    for (qsizetype index = 0; index < search.places.size(); ++index) {
        QCOMPARE(search.places[index].path, paths[index]);
        foundKinds.append(search.places[index].kind);
        foundNew.append(search.places[index].newSlips);
        QCOMPARE(search.places[index].cause.isEmpty(), search.places[index].kind != Kind::Unreadable);
    }
    QCOMPARE(foundKinds, kinds);
    QCOMPARE(foundNew, newPerPlace);
    QCOMPARE(search.newSlips, newSlips);
    QCOMPARE(oldArchiveQuestion(search).isEmpty(), newSlips == 0);
    QCOMPARE(oldArchiveUnreadableNotice(search).isEmpty(), !kinds.contains(Kind::Unreadable));

    // Only read: every place holds what it held, and nothing was made beside the files.
    for (qsizetype index = 0; index < places.size(); ++index) {
        const QString folder = dir.filePath(u"place%1"_s.arg(index));
        const QStringList entries =
            QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        QCOMPARE(entries, places[index] == Nothing ? QStringList() : QStringList{u"fillcp.dll"_s});
        if (places[index] != Nothing && places[index] != AFolder && places[index] != ALink)
            QCOMPARE(contents(paths[index]), places[index]);
    }
}

void OldArchiveTest::aFileOverTheLimitIsUnreadable()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"fillcp.dll"_s);
    write(path, savedRecord("Rossi") + savedRecord("Verdi"));
    const OldArchiveSearch search = searchOldArchives({path}, {}, nullptr, 100);
    QCOMPARE(search.places.size(), 1);
    QCOMPARE(search.places[0].kind, Kind::Unreadable);
    QVERIFY(search.incoming.isEmpty());
    const QString notice = oldArchiveUnreadableNotice(search);
    QVERIFY2(notice.contains(QDir::toNativeSeparators(path)), qPrintable(notice));
    QVERIFY2(notice.contains(u"Importa archivio"_s), qPrintable(notice));
}

void OldArchiveTest::theQuestionCountsEachSlipOnce()
{
    QTemporaryDir dir;
    const QString system = dir.filePath(u"system32.dll"_s);
    const QString store = dir.filePath(u"virtualstore.dll"_s);
    write(system, savedRecord("Rossi"));
    write(store, savedRecord("Rossi") + savedRecord("Verdi") + savedRecord("Bianchi"));
    const OldArchiveSearch search = searchOldArchives({system, store}, {}, nullptr);
    QCOMPARE(search.newSlips, 3);
    QCOMPARE(names(search.incoming), (QStringList{u"Rossi"_s, u"Rossi"_s, u"Verdi"_s, u"Bianchi"_s}));
    const QString question = oldArchiveQuestion(search);
    QVERIFY2(question.contains(u"ci sono 3 bollettini che il vostro archivio non ha"_s),
             qPrintable(question));
    QVERIFY2(question.contains(u"%1: 1 bollettino\n"_s.arg(QDir::toNativeSeparators(system))),
             qPrintable(question));
    QVERIFY2(question.contains(u"%1: 2 bollettini"_s.arg(QDir::toNativeSeparators(store))),
             qPrintable(question));
}

QTEST_GUILESS_MAIN(OldArchiveTest)
#include "OldArchiveTest.moc"
