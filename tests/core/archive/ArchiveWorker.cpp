// SPDX-License-Identifier: GPL-3.0-or-later

// Performs archive operations in a loop for the crash and concurrency tests.
//   archive_worker PATH mixed SEED TAG   saves and deletes until killed
//   archive_worker PATH save COUNT TAG   saves COUNT records
//   archive_worker PATH import COUNT TAG appends COUNT records in one step, as an import does
// Before each operation it writes "S name" or "D index name" to standard output, after it "K"
// (done), "M" (record moved, nothing deleted) or "F error", each with one unbuffered write.
#include "core/archive/SlipArchive.h"

#include "WorkerRecord.h"

#include <QRandomGenerator>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

void say(const QString& line)
{
    // Out at once: the test reads what was said before it killed the worker.
    const QByteArray bytes = (line + u'\n').toUtf8();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0)
        std::exit(3);
}

bool save(const SlipArchive& archive, const QString& name)
{
    say(u"S "_s + name);
    QByteArray bytes;
    UnstorableCharacter problem;
    if (!encodeSavedRecord(u"07 dicembre 2026"_s, workerSlip(name), WorkerPalette, bytes, problem)) {
        say(u"F "_s + unstorableMessage(problem));
        return false;
    }
    // Busy is the archive's answer when the other writer holds the lock past the wait, as it may on a
    // loaded machine: nothing was written, and the user would try again, as this does.
    Failure failure = archive.append(bytes);
    while (failure.kind() == Failure::Kind::Busy)
        failure = archive.append(bytes);
    if (failure) {
        say(u"F "_s + failure.text());
        return false;
    }
    say(u"K"_s);
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: archive_worker PATH mixed|save SEED|COUNT TAG\n");
        return 2;
    }
    SlipArchive archive(QString::fromLocal8Bit(argv[1]));
    const QByteArray mode(argv[2]);
    const qulonglong number = QByteArray(argv[3]).toULongLong();
    const QString tag = QString::fromLocal8Bit(argv[4]);

    if (mode == "import") {
        QList<QByteArray> records;
        for (qulonglong i = 0; i < number; ++i) {
            QByteArray bytes;
            UnstorableCharacter problem;
            encodeSavedRecord(u"07 dicembre 2026"_s, workerSlip(tag + u'-' + QString::number(i)),
                              WorkerPalette, bytes, problem);
            records.append(bytes);
        }
        say(u"I "_s + tag);
        if (const Failure failure = archive.appendAll(records)) {
            say(u"F "_s + failure.text());
            return 1;
        }
        say(u"K"_s);
        return 0;
    }
    if (mode == "save") {
        for (qulonglong i = 0; i < number; ++i) {
            if (!save(archive, tag + u'-' + QString::number(i)))
                return 1;
        }
        return 0;
    }

    QRandomGenerator random(static_cast<quint32>(number));
    for (qulonglong i = 0;; ++i) {
        ArchiveTable table;
        if (const Failure failure = archive.load(table)) {
            say(u"F "_s + failure.text());
            return 1;
        }
        const int deleteChance = table.size() > 12 ? 70 : 35;
        if (table.isEmpty() || int(random.bounded(100)) >= deleteChance) {
            if (!save(archive, tag + u'-' + QString::number(i)))
                return 1;
            continue;
        }
        const qsizetype index = random.bounded(int(table.size()));
        say(u"D %1 %2"_s.arg(index).arg(table[index].column(1)));
        const Failure failure = archive.remove(index, table[index]);
        switch (failure.kind()) {
        case Failure::Kind::None:
            say(u"K"_s);
            break;
        case Failure::Kind::Moved:
            say(u"M"_s);
            break;
        default:
            say(u"F "_s + failure.text());
            return 1;
        }
    }
}
