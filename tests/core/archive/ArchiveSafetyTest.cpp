// SPDX-License-Identifier: GPL-3.0-or-later

// The archive against hostile or unlucky files, on real files and real processes, on every system:
// links planted where the archive, its lock or its temporary file should be; a record cut short; a file
// converted twice; an import all or nothing; an archive too large; a full disk; a lock held by another
// process. ArchiveSafetyPosixTest adds what only POSIX systems have (FIFOs, devices, fork).
#include "core/archive/SlipArchive.h"

#include "ArchiveOperations.h"
#include "ArchiveRecords.h"
#include "FailureCompare.h"
#include "FileBytes.h"
#include "FileSizeLimit.h"
#include "SystemFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A file's permission bits (where there are any) and bytes: what a followed link would change.
struct FileState {
    int mode = 0;
    QByteArray bytes;
    friend bool operator==(const FileState&, const FileState&) = default;
};

FileState stateOf(const QString& path)
{
    return {permissionsOf(path), contents(path)};
}

} // namespace

class ArchiveSafetyTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void plantedLinksAreNeverFollowed_data();
    void plantedLinksAreNeverFollowed();

    void saveAfterACutRecordIsARecordOfItsOwn_data();
    void saveAfterACutRecordIsARecordOfItsOwn();
    void deleteInAFileConvertedTwiceKeepsEveryRecord();
    void appendAllIsAllOrNothing();
    void tooLargeAnArchiveIsRefused();

    void heldLockWaitIsBounded();

private:
    QTemporaryDir m_dir;
    QString m_work;    // the archive's directory, made anew for each test
    QString m_path;    // the archive
    QString m_outside; // a file of "someone else", outside the archive's directory
};

void ArchiveSafetyTest::init()
{
    QVERIFY(m_dir.isValid());
    static int round = 0;
    m_work = m_dir.filePath(u"round-%1"_s.arg(++round));
    QVERIFY(QDir().mkpath(m_work));
    m_path = m_work + u"/fillcp.dll"_s;
    m_outside = m_dir.filePath(u"segreto-%1"_s.arg(round));
    write(m_outside, "contenuto di un altro\n");
    QVERIFY(QFile::setPermissions(m_outside, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
}

void ArchiveSafetyTest::plantedLinksAreNeverFollowed_data()
{
    QTest::addColumn<QString>("planted"); // name in the archive's directory made a link to m_outside
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("succeeds"); // the operation goes on without the planted name
    QTest::addColumn<QString>("cause"); // in the message when it does not

    const QString link = u"al suo posto c'è un collegamento simbolico, che non viene seguito"_s;
    QTest::newRow("archive, at start-up") << u"fillcp.dll"_s << int(Ensure) << false << link;
    QTest::newRow("archive, list") << u"fillcp.dll"_s << int(Load) << false << link;
    QTest::newRow("archive, save") << u"fillcp.dll"_s << int(Append) << false << link;
    QTest::newRow("archive, delete") << u"fillcp.dll"_s << int(Remove) << false << link;
    QTest::newRow("lock, save") << u"fillcp.dll.lock"_s << int(Append) << false << link;
    QTest::newRow("lock, delete") << u"fillcp.dll.lock"_s << int(Remove) << false << link;
    QTest::newRow("temporary file, delete") << u"fillcp.dll.nuovo"_s << int(Remove) << true << QString();
}

void ArchiveSafetyTest::plantedLinksAreNeverFollowed()
{
    QFETCH(QString, planted);
    QFETCH(int, operation);
    QFETCH(bool, succeeds);
    QFETCH(QString, cause);
    if (planted != u"fillcp.dll"_s)
        write(m_path, savedRecord("Primo") + savedRecord("Secondo"));
    QString why;
    if (!makeSymbolicLink(m_outside, m_work + u'/' + planted, why))
        QSKIP(qPrintable(u"no symbolic link can be made here: "_s + why));
    const FileState before = stateOf(m_outside);

    const Failure failure = run(Operation(operation), m_path);
    QCOMPARE(!failure, succeeds);
    if (!succeeds)
        QVERIFY2(failure.text().contains(cause), qPrintable(failure.text()));
    QCOMPARE(stateOf(m_outside), before);
    if (succeeds)
        QCOMPARE(namesIn(m_path), QStringList({u"Secondo"_s}));
}

void ArchiveSafetyTest::saveAfterACutRecordIsARecordOfItsOwn_data()
{
    QTest::addColumn<QByteArray>("before");

    const QByteArray whole = savedRecord("Primo");
    QTest::newRow("cut after the marker") << Marker + "\r\n";
    QTest::newRow("cut after five values") << whole.left(whole.indexOf(" 10,00"));
    QTest::newRow("cut inside a value") << whole.left(whole.indexOf("dieci") + 2);
    QTest::newRow("cut inside the last value") << whole.chopped(3);
    QTest::newRow("marker without a line end") << Marker;
    QTest::newRow("lone CR line ends, cut") << whole.left(whole.indexOf(" 10,00")).replace("\r\n", "\r");
    QTest::newRow("CR CR LF line ends, cut") << whole.left(whole.indexOf(" 10,00")).replace("\r\n", "\r\r\n");
    QTest::newRow("cut between CR and LF") << whole.left(whole.indexOf(" 10,00") - 1);
}

void ArchiveSafetyTest::saveAfterACutRecordIsARecordOfItsOwn()
{
    QFETCH(QByteArray, before);
    write(m_path, before);
    const SlipArchive archive(m_path);
    QCOMPARE(archive.append(savedRecord("Nuovo")), Failure());

    ArchiveTable table;
    QCOMPARE(archive.load(table), Failure());
    QCOMPARE(table.size(), 2);
    QCOMPARE(table[1].columns(), QStringList({u"07 dicembre 2026"_s,
                                              u"Nuovo"_s,
                                              {},
                                              {},
                                              {},
                                              u"10,00"_s,
                                              u"dieci/00"_s,
                                              {},
                                              {},
                                              {},
                                              u"1234"_s,
                                              {},
                                              u"123"_s,
                                              u"False"_s,
                                              u"True"_s,
                                              u"1"_s}));
    // The cut record keeps what it had and is deleted without taking the new one along.
    QCOMPARE(archive.remove(0, table[0]), Failure());
    QCOMPARE(namesIn(m_path), QStringList({u"Nuovo"_s}));
}

void ArchiveSafetyTest::deleteInAFileConvertedTwiceKeepsEveryRecord()
{
    QByteArray converted;
    for (const QByteArray name : {"Primo", "Secondo", "Terzo", "Quarto"})
        converted += savedRecord(name).replace("\r\n", "\r\r\n");
    write(m_path, converted);
    const SlipArchive archive(m_path);
    ArchiveTable table;
    QCOMPARE(archive.load(table), Failure());
    QCOMPARE(names(table), QStringList({u"Primo"_s, u"Secondo"_s, u"Terzo"_s, u"Quarto"_s}));
    QCOMPARE(archive.remove(1, table[1]), Failure());

    // Every kept record whole, in the rewrite shape with CR LF.
    const QByteArray rest =
        Marker +
        "\r\n07 dicembre 2026\r\n%\r\n\r\n\r\n\r\n10,00\r\ndieci/00\r\n\r\n\r\n\r\n1234\r\n\r\n123\r\n"
        "False\r\nTrue\r\n1\r\n";
    QCOMPARE(contents(m_path), QByteArray(rest).replace("%", "Primo") +
                                   QByteArray(rest).replace("%", "Terzo") +
                                   QByteArray(rest).replace("%", "Quarto"));
}

void ArchiveSafetyTest::appendAllIsAllOrNothing()
{
    const QByteArray before = savedRecord("Primo");
    write(m_path, before);
    const SlipArchive archive(m_path);
    QCOMPARE(archive.appendAll({savedRecord("A"), savedRecord("B"), savedRecord("C")}), Failure());
    QCOMPARE(namesIn(m_path), QStringList({u"Primo"_s, u"A"_s, u"B"_s, u"C"_s}));

    // A batch that does not fit: none of it is kept.
    SKIP_WITHOUT_FILE_SIZE_LIMIT();
    const QByteArray full = contents(m_path);
    Failure failure;
    {
        FileSizeLimit limit(full.size() + savedRecord("D").size() + 10);
        QVERIFY(limit.active());
        failure = archive.appendAll({savedRecord("D"), savedRecord("E")});
    }
    QCOMPARE(contents(m_path), full);
    QCOMPARE(failure.text(),
             u"Impossibile scrivere nell'archivio %1: il file supera la dimensione massima consentita.\n"
             u"L'archivio è rimasto com'era."_s.arg(m_path));
}

void ArchiveSafetyTest::tooLargeAnArchiveIsRefused()
{
    // A sparse file of 3 GiB: no disk space used, and no attempt to hold it in memory either.
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(3) << 30));
    }
    const SlipArchive archive(m_path);
    ArchiveTable table;
    Failure failure = archive.load(table);
    QVERIFY(failure);
    QCOMPARE(table.size(), 0);
    QCOMPARE(failure.text(),
             u"Impossibile leggere l'archivio %1: il file è troppo grande per essere letto (3072 MB, al "
             u"massimo 1024 MB). Spostare %1 altrove e ricominciare con un archivio vuoto, o tenerne "
             u"solo una parte."_s.arg(m_path));
    failure = archive.append(savedRecord("Nuovo"));
    QCOMPARE(failure.kind(), Failure::Kind::Failed);
    QVERIFY2(failure.text().startsWith(
                 u"Impossibile scrivere nell'archivio %1: il file è troppo grande"_s.arg(m_path)),
             qPrintable(failure.text()));
    QCOMPARE(QFileInfo(m_path).size(), qint64(3) << 30);
}

void ArchiveSafetyTest::heldLockWaitIsBounded()
{
    write(m_path, savedRecord("Primo"));
    // Another process (file_layer_helper, beside this test) takes the lock and keeps it until it is
    // killed.
    QProcess holder;
    holder.start(QCoreApplication::applicationDirPath() + u"/file_layer_helper"_s,
                 {u"lock"_s, m_work, u"fillcp.dll.lock"_s});
    QVERIFY(holder.waitForStarted(20000));
    const QDeadlineTimer ready(20000);
    while (!holder.canReadLine() && !ready.hasExpired() && holder.state() == QProcess::Running)
        holder.waitForReadyRead(int(qMax<qint64>(1, ready.remainingTime())));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("bloccato"));

    // With the default wait, each writer gives up and says the archive is busy.
    const SlipArchive archive(m_path);
    Failure failure = archive.append(savedRecord("Secondo"));
    QCOMPARE(failure.kind(), Failure::Kind::Busy);
    QCOMPARE(failure.text(), u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(m_path));
    ArchiveTable table;
    QCOMPARE(archive.load(table), Failure());
    failure = archive.remove(0, table[0]);
    QCOMPARE(failure.kind(), Failure::Kind::Busy);
    QCOMPARE(failure.text(), u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(m_path));
    QCOMPARE(contents(m_path), savedRecord("Primo"));

    // Its process gone, the lock is free.
    holder.kill();
    QVERIFY(holder.waitForFinished(20000));
    QCOMPARE(SlipArchive(m_path).append(savedRecord("Secondo")), Failure());
}

QTEST_GUILESS_MAIN(ArchiveSafetyTest)
#include "ArchiveSafetyTest.moc"
