// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipArchive.h"

#include "WorkerRecord.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

#ifndef CRASH_ROUNDS
#define CRASH_ROUNDS 300
#endif

namespace {

// The record archive_worker saves under name, as read back.
SlipRecord workerRecord(const QString& name)
{
    QStringList columns = {u"07 dicembre 2026"_s};
    for (const QString& field : workerSlip(name))
        columns.append(field);
    columns << u"True"_s << u"False"_s << u"2"_s;
    return SlipRecord::fromColumns(columns).value_or(SlipRecord());
}

// The names of the archive's records; fails the test on a record that is not whole.
QStringList archiveNames(const QString& path)
{
    ArchiveTable table;
    if (const Failure failure = SlipArchive(path).load(table)) {
        QTest::qFail(qPrintable(failure.text()), __FILE__, __LINE__);
        return {};
    }
    QStringList names;
    for (const SlipRecord& record : table) {
        const QString name = record.column(FirstFieldColumn);
        if (record != workerRecord(name)) {
            QTest::qFail(qPrintable(u"torn record: "_s + record.columns().join(u'|')), __FILE__, __LINE__);
            return {};
        }
        names.append(name);
    }
    return names;
}

// What one line "S name" or "D index name" does to the list of names.
void apply(QStringList& names, const QString& operation)
{
    const QStringList words = operation.split(u' ');
    if (words[0] == u"S") {
        names.append(words[1]);
    } else {
        const int index = words[1].toInt();
        if (index < names.size() && names[index] == words[2])
            names.removeAt(index);
    }
}

} // namespace

class ArchiveCrashTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void killedWriterLeavesTheStateBeforeOrAfter();
    void twoSaversLoseNoRecord();
    void killedImportAddsAllOrNothing();

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_worker; // archive_worker, built beside this test (archive_worker.exe on Windows)
};

void ArchiveCrashTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_worker = QStandardPaths::findExecutable(u"archive_worker"_s, {QCoreApplication::applicationDirPath()});
    QVERIFY2(!m_worker.isEmpty(), qPrintable(QCoreApplication::applicationDirPath()));
}

void ArchiveCrashTest::killedWriterLeavesTheStateBeforeOrAfter()
{
    m_path = m_dir.filePath(u"crash/fillcp.dll"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"crash"_s)));
    QRandomGenerator random(20261207);
    int betweenOperations = 0;
    int leftUndone = 0;
    int doneUnreported = 0;

    for (int round = 0; round < CRASH_ROUNDS; ++round) {
        const QStringList before = archiveNames(m_path);
        if (QTest::currentTestFailed())
            return;

        QProcess worker;
        worker.start(m_worker,
                     {m_path, u"mixed"_s, QString::number(round + 1), u"r"_s + QString::number(round)});
        QVERIFY(worker.waitForStarted());
        // Let it begin a few operations, then kill it at a moment that varies from round to round.
        const int operationsBeforeKill = 1 + random.bounded(4);
        QByteArray output;
        while (output.count("\nS ") + output.count("\nD ") +
                   (output.startsWith("S ") || output.startsWith("D ")) <
               operationsBeforeKill) {
            const bool answered = worker.waitForReadyRead(20000);
            output += worker.readAllStandardOutput();
            QVERIFY2(answered, qPrintable(u"the worker stopped answering in round %1: %2 %3"_s.arg(round)
                                              .arg(QString::fromUtf8(output + worker.readAllStandardError()))
                                              .arg(worker.exitCode())));
        }
        // An operation takes a few milliseconds (the lock file is synced to disk): spread the kills over
        // them.
        const qint64 delay = random.bounded(12000) * 1000;
        QElapsedTimer spin;
        spin.start();
        while (spin.nsecsElapsed() < delay) {
        }
        worker.kill();
        QVERIFY(worker.waitForFinished(20000));
        output += worker.readAllStandardOutput();
        QVERIFY2(!output.contains("\nF ") && !output.startsWith("F "), output.constData());

        // Replay the finished operations; the last one begun may or may not have happened.
        QStringList expectedBefore = before;
        QString interrupted;
        // Lines end in CR LF where standard output is text (Windows).
        for (const QString& line : QString::fromUtf8(output).remove(u'\r').split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u'S') || line.startsWith(u'D')) {
                interrupted = line;
            } else if (!interrupted.isEmpty()) {
                apply(expectedBefore, interrupted);
                interrupted.clear();
            }
        }
        QStringList expectedAfter = expectedBefore;
        if (!interrupted.isEmpty())
            apply(expectedAfter, interrupted);

        const QStringList after = archiveNames(m_path);
        if (QTest::currentTestFailed())
            return;
        if (after != expectedBefore && after != expectedAfter) {
            QFAIL(qPrintable(
                u"round %1: file %2\nbefore the interrupted operation %3\nafter it %4"_s.arg(round).arg(
                    after.join(u','), expectedBefore.join(u','), expectedAfter.join(u','))));
        }
        if (interrupted.isEmpty())
            ++betweenOperations;
        else if (after == expectedBefore)
            ++leftUndone;
        else
            ++doneUnreported;
    }
    const int leftovers = QDir(m_dir.filePath(u"crash"_s)).entryList({u"fillcp.dll.*"_s}, QDir::Files).size();
    qInfo("%d kills: %d between operations, %d before an operation changed the file, %d after it did; "
          "%d files left by rewrites cut short",
          CRASH_ROUNDS, betweenOperations, leftUndone, doneUnreported, leftovers);
}

void ArchiveCrashTest::twoSaversLoseNoRecord()
{
    m_path = m_dir.filePath(u"together/fillcp.dll"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"together"_s)));
    const int count = 150;
    QProcess first;
    QProcess second;
    first.start(m_worker, {m_path, u"save"_s, QString::number(count), u"a"_s});
    second.start(m_worker, {m_path, u"save"_s, QString::number(count), u"b"_s});
    QVERIFY(first.waitForFinished(60000));
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(first.exitCode(), 0);
    QCOMPARE(second.exitCode(), 0);

    const QStringList names = archiveNames(m_path);
    QCOMPARE(names.size(), 2 * count);
    QStringList fromFirst;
    QStringList fromSecond;
    for (const QString& name : names)
        (name.startsWith(u'a') ? fromFirst : fromSecond).append(name);
    QStringList expectedFirst;
    QStringList expectedSecond;
    for (int i = 0; i < count; ++i) {
        expectedFirst.append(u"a-"_s + QString::number(i));
        expectedSecond.append(u"b-"_s + QString::number(i));
    }
    QCOMPARE(fromFirst, expectedFirst);
    QCOMPARE(fromSecond, expectedSecond);
}

void ArchiveCrashTest::killedImportAddsAllOrNothing()
{
    // One import of 10 000 records, about 2.5 MB, written and synced in one step: killed at moments
    // spread over its journal, its write and its sync, the archive keeps none of it or all of it.
    m_path = m_dir.filePath(u"import/fillcp.dll"_s);
    QVERIFY(QDir().mkpath(m_dir.filePath(u"import"_s)));
    constexpr int Count = 10000;
    QRandomGenerator random(20261208);
    int before = 0;
    int nothingAdded = 0;
    int allAdded = 0;
    int tornThenRolledBack = 0;
    int journalLeft = 0;
    for (int round = 0; round < 12; ++round) {
        const QString tag = u"i"_s + QString::number(round);
        QProcess worker;
        worker.start(m_worker, {m_path, u"import"_s, QString::number(Count), tag});
        QVERIFY(worker.waitForStarted());
        QByteArray output;
        while (!output.contains("I ")) {
            QVERIFY2(worker.waitForReadyRead(20000), output.constData());
            output += worker.readAllStandardOutput();
        }
        const qint64 delay = random.bounded(250000) * 1000;
        QElapsedTimer spin;
        spin.start();
        while (spin.nsecsElapsed() < delay) {
        }
        worker.kill();
        QVERIFY(worker.waitForFinished(20000));
        output += worker.readAllStandardOutput();
        QVERIFY2(!output.contains("\nF "), output.constData());

        // What the kill left, before anyone opens the archive again.
        const QByteArray left = QFile::exists(m_path) ? [this] {
            QFile file(m_path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }()
                                                       : QByteArray();
        if (!separatorBeforeNewRecord(left).isEmpty())
            ++tornThenRolledBack;
        if (QFile::exists(m_path + u".journal"_s))
            ++journalLeft;

        const QStringList names = archiveNames(m_path);
        if (QTest::currentTestFailed())
            return;
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(separatorBeforeNewRecord(file.readAll()).isEmpty(),
                 qPrintable(u"round %1: the archive does not end at a record's end"_s.arg(round)));
        if (names.size() == before) {
            ++nothingAdded;
        } else {
            QCOMPARE(names.size(), before + Count);
            QCOMPARE(names.at(before), tag + u"-0"_s);
            QCOMPARE(names.last(), tag + u"-"_s + QString::number(Count - 1));
            ++allAdded;
        }
        QVERIFY2(!QFile::exists(m_path + u".journal"_s), "the journal outlived the next open");
        before = int(names.size());
    }
    qInfo("12 kills during an import: %d added nothing, %d added all; %d left a journal, %d of them a torn "
          "file, undone at the next open",
          nothingAdded, allAdded, journalLeft, tornThenRolledBack);
}

QTEST_GUILESS_MAIN(ArchiveCrashTest)
#include "ArchiveCrashTest.moc"
