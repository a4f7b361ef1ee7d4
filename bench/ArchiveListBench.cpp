// SPDX-License-Identifier: GPL-3.0-or-later

// Archive list load (file -> records -> list entries) against reading the same file's bytes.
#include "NumberedRecords.h"
#include "ReadFileBytes.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <algorithm>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

// A temporary archive of n records as the save writes them, made once per size.
const QString& archiveOf(qsizetype n)
{
    static QTemporaryDir dir;
    static QMap<qsizetype, QString> paths;
    auto found = paths.constFind(n);
    if (found != paths.constEnd())
        return *found;
    const QString path = dir.filePath(u"fillcp-%1.dll"_s.arg(n));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray chunk;
    QByteArray record;
    UnstorableCharacter problem;
    for (qsizetype r = 0; r < n; ++r) {
        if (!numberedSavedRecord(r, record, problem))
            qFatal("%s", qPrintable(unstorableMessage(problem)));
        chunk += record;
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return *paths.insert(n, path);
}

void ReadArchiveBytes(benchmark::State& state)
{
    ReadFileBytes(state, archiveOf(state.range(0)));
}

void LoadArchiveList(benchmark::State& state)
{
    const QString& path = archiveOf(state.range(0));
    const SlipArchive archive(path);
    const StoredDateReader dates(QLocale(QLocale::Italian, QLocale::Italy));
    qint64 bytes = QFile(path).size();
    for (auto _ : state) {
        ArchiveTable table;
        (void)archive.load(table);
        if (table.size() != state.range(0))
            state.SkipWithError("wrong record count");
        // The list makes the entries it shows: a screenful.
        QString shown;
        for (qsizetype r = 0; r < std::min<qsizetype>(table.size(), 12); ++r)
            shown += listEntryText(table[r], dates);
        benchmark::DoNotOptimize(shown.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

// One deletion in the middle of the archive: read, check, rewrite beside it, sync, rename.
void DeleteOneRecord(benchmark::State& state)
{
    const QString& original = archiveOf(state.range(0));
    static QTemporaryDir work;
    const QString path = work.filePath(u"fillcp.dll"_s);
    const qsizetype middle = state.range(0) / 2;
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        if (!QFile::copy(original, path)) {
            state.SkipWithError("cannot copy the archive");
            break;
        }
        const SlipArchive archive(path);
        ArchiveTable table;
        (void)archive.load(table);
        bytes = QFile(path).size();
        state.ResumeTiming();
        if (const Failure failure = archive.remove(middle, table[middle])) {
            state.SkipWithError(qPrintable(failure.text()));
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

} // namespace

BENCHMARK(ReadArchiveBytes)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadArchiveList)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(DeleteOneRecord)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Archive list load"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "`LoadArchiveList/N` reads an archive of N records as the save writes them (about "
         "225 bytes each, a new date every 8 records) and makes the entries of one screenful, "
         "as the list load does (the list makes the others when they are shown); "
         "`DeleteOneRecord/N` deletes the middle record of such an archive as the delete "
         "command does (read, rewrite beside it, sync, rename; the copy that restores the "
         "archive before each deletion is not timed); `ReadArchiveBytes/N` reads the same "
         "file's bytes into memory."),
     benchmark::AddCustomContext("cedolario.reference.LoadArchiveList", "ReadArchiveBytes"),
     benchmark::AddCustomContext("cedolario.reference.DeleteOneRecord", "ReadArchiveBytes"), true);

BENCHMARK_MAIN();
