// SPDX-License-Identifier: GPL-3.0-or-later

// One sheet row checked against a large archive (the slips stored already, the similar ones), as the
// import does before it stores anything, against reading the archive file's bytes; in time, and in the
// peak memory of a fresh process.
#include "ChildPeak.h"
#include "NumberedRecords.h"
#include "ReadFileBytes.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/files/FileHandle.h"
#include "core/sheet/CsvText.h"
#include "core/workbook/SheetFile.h"
#include "core/workbook/SheetWorkflow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The record the sheet's row repeats: one in the middle of the archive.
qsizetype repeatedRecord(qsizetype n)
{
    return n / 2;
}

// Writes an archive of n records as the save writes them (a new date every 8 records) at path, and a
// sheet of one row, the export of the record in its middle, at sheetPath.
bool writeFiles(qsizetype n, const QString& path, const QString& sheetPath)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    QByteArray chunk;
    QByteArray record;
    QByteArray repeated;
    UnstorableCharacter problem;
    for (qsizetype r = 0; r < n; ++r) {
        if (!numberedSavedRecord(r, record, problem))
            return false;
        if (r == repeatedRecord(n))
            repeated = record;
        chunk += record;
        if (chunk.size() > (1 << 20)) {
            if (file.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    if (file.write(chunk) != chunk.size() || !file.flush())
        return false;
    QFile sheet(sheetPath);
    const QByteArray csv = writeCsv(sheetOfRecords(readArchive(repeated), StoredDateReader(italian)));
    return sheet.open(QIODevice::WriteOnly) && sheet.write(csv) == csv.size();
}

struct Files {
    QString archive;
    QString sheet;
};

// The files for n records, made once per size.
const Files& filesOf(qsizetype n)
{
    static QTemporaryDir dir;
    static QMap<qsizetype, Files> made;
    auto found = made.constFind(n);
    if (found != made.constEnd())
        return *found;
    QDir(dir.path()).mkdir(QString::number(n));
    const Files files{dir.filePath(u"%1/fillcp.dll"_s.arg(n)), dir.filePath(u"%1/riga.csv"_s.arg(n))};
    if (!writeFiles(n, files.archive, files.sheet))
        qFatal("cannot write the files in %s", qPrintable(dir.path()));
    return *made.insert(n, files);
}

const StoredDateReader& dates()
{
    static const StoredDateReader reader(QLocale(QLocale::Italian, QLocale::Italy));
    return reader;
}

// The check as the import makes it now: the archive read a piece at a time, each record compared and let
// go. Whether the row was found stored (it should be).
bool compareStreaming(const Files& files)
{
    SheetRequest request;
    request.path = files.sheet;
    SheetBatch batch;
    return !prepareSheetBatch(request, files.archive, dates(), batch) && batch.import.slips.size() == 1 &&
           batch.alreadyHeld == QList<qsizetype>{0} && batch.similar.isEmpty();
}

// The same check as the import made it before: the archive loaded whole, then the two comparisons over
// the table.
bool compareLoaded(const Files& files)
{
    SheetImport import;
    ArchiveTable stored;
    if (readSheetFile(files.sheet, import) || import.slips.size() != 1 ||
        SlipArchive(files.archive).load(stored))
        return false;
    const QList<qsizetype> held = slipsAlreadyStored(import.slips, stored, dates());
    const QList<SimilarSlip> similar = slipsSimilarToStored(import.slips, held, stored, dates());
    return held == QList<qsizetype>{0} && similar.isEmpty();
}

void ReadArchiveBytes(benchmark::State& state)
{
    ReadFileBytes(state, filesOf(state.range(0)).archive);
}

// The floor of any reading: the file's bytes read a piece at a time, as the check reads them, through the
// file layer into one buffer of a piece's size, and nothing done with them.
void ReadArchivePieces(benchmark::State& state)
{
    const QFileInfo archive(filesOf(state.range(0)).archive);
    constexpr qsizetype Piece = qsizetype(256) << 10;
    QByteArray buffer(Piece, Qt::Uninitialized);
    qint64 bytes = 0;
    for (auto _ : state) {
        DirectoryHandle dir;
        if (!dir.open(archive.path())) {
            state.SkipWithError("the folder cannot be opened");
            break;
        }
        const DirectoryHandle::Opened file =
            dir.openRegular(archive.fileName(), DirectoryHandle::Access::Read, false);
        qsizetype got = 0;
        bytes = 0;
        while (file.file.readAt(bytes, buffer.data(), Piece, got) && got > 0)
            bytes += got;
        if (bytes != file.status.size)
            state.SkipWithError("the file was not read whole");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}

void compare(benchmark::State& state, bool (*check)(const Files&))
{
    const Files& files = filesOf(state.range(0));
    for (auto _ : state) {
        if (!check(files)) {
            state.SkipWithError("the row was not found stored");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * QFile(files.archive).size());
}

void CompareSheetRow(benchmark::State& state)
{
    compare(state, compareStreaming);
}

void CompareSheetRowLoaded(benchmark::State& state)
{
    compare(state, compareLoaded);
}

QString g_self; // this executable, run again as the child that measures

// The peak resident memory of this process in kB: VmHWM of /proc/self/status, the high-water mark of
// this program's own memory (getrusage's ru_maxrss would keep the parent's across the spawn).
qint64 peakResidentKb()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// What the child does, then writing its peak resident memory in kB to its standard output: "start"
// nothing, "bytes" read the archive's bytes whole, "stream" and "loaded" the two checks above.
int childMain(const char* work, const char* archive, const char* sheet)
{
    const Files files{QString::fromLocal8Bit(archive), QString::fromLocal8Bit(sheet)};
    bool done = true;
    if (qstrcmp(work, "bytes") == 0) {
        QFile file(files.archive);
        done = file.open(QIODevice::ReadOnly) && file.readAll().size() == file.size();
    } else if (qstrcmp(work, "stream") == 0) {
        done = compareStreaming(files);
    } else if (qstrcmp(work, "loaded") == 0) {
        done = compareLoaded(files);
    }
    const qint64 peak = peakResidentKb();
    if (!done || peak < 0)
        return 1;
    const QByteArray kb = QByteArray::number(peak);
    return ::write(1, kb.constData(), size_t(kb.size())) == kb.size() ? 0 : 1;
}

// The peak resident memory, in MiB, of a fresh run of this executable that does work on files.
double childPeakMiB(const char* work, const Files& files)
{
    return ::childPeakMiB(QFile::encodeName(g_self),
                          {QByteArrayLiteral("--peak-child"), work, QFile::encodeName(files.archive),
                           QFile::encodeName(files.sheet)});
}

void peakOf(benchmark::State& state, const char* work)
{
    const Files& files = filesOf(state.range(0));
    const double peak = repeatedChildPeak(state, [&] { return childPeakMiB(work, files); });
    const double file = double(QFile(files.archive).size()) / double(1 << 20);
    state.counters["peak_MiB"] = peak;
    state.counters["file_MiB"] = file;
    state.counters["start_MiB"] = childPeakMiB("start", files);
}

void PeakReadArchiveBytes(benchmark::State& state)
{
    peakOf(state, "bytes");
}

void PeakCompareSheetRow(benchmark::State& state)
{
    peakOf(state, "stream");
}

void PeakCompareSheetRowLoaded(benchmark::State& state)
{
    peakOf(state, "loaded");
}

} // namespace

BENCHMARK(ReadArchiveBytes)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ReadArchivePieces)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CompareSheetRow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(CompareSheetRowLoaded)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PeakReadArchiveBytes)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakCompareSheetRow)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakCompareSheetRowLoaded)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "One sheet row against a large archive"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "`CompareSheetRow/N` reads a sheet of one row and checks it against an archive of N records as "
         "the save writes them (about 211 bytes each, a new date every 8 records), as the import does "
         "before it stores anything: the slips stored already and the similar ones, the archive read a "
         "piece at a time (the row repeats the record in the middle, so it is found stored); "
         "`CompareSheetRowLoaded/N` makes the same check as it was made before, the archive loaded whole "
         "and both comparisons run over the table; `ReadArchiveBytes/N` reads the archive file's bytes "
         "into memory, and `ReadArchivePieces/N` reads them 256 KiB at a time into one buffer, as the "
         "check does, doing nothing with them. The `Peak` benchmarks do the same once in a fresh process: "
         "`peak_MiB` is its peak "
         "resident memory (VmHWM), `start_MiB` that of the same process doing nothing, "
         "`PeakReadArchiveBytes` reads the file's bytes alone."),
     benchmark::AddCustomContext("cedolario.reference.CompareSheetRow", "ReadArchiveBytes"),
     benchmark::AddCustomContext("cedolario.reference.CompareSheetRowLoaded", "ReadArchiveBytes"),
     benchmark::AddCustomContext("cedolario.reference.ReadArchivePieces", "ReadArchiveBytes"),
     benchmark::AddCustomContext("cedolario.reference.PeakCompareSheetRow", "PeakReadArchiveBytes"),
     benchmark::AddCustomContext("cedolario.reference.PeakCompareSheetRowLoaded", "PeakReadArchiveBytes"),
     true);

int main(int argc, char** argv)
{
    // The import measures the row's texts in the print font, as the command line does: a Qt application
    // without windows, in the benchmark and in every child alike.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int noArguments = 1;
    const QGuiApplication application(noArguments, argv);
    if (argc == 5 && qstrcmp(argv[1], "--peak-child") == 0)
        return childMain(argv[2], argv[3], argv[4]);
    // The files alone, for timing the command line on them: an archive of 10^6 records and the sheet.
    if (argc == 3 && qstrcmp(argv[1], "--write-files") == 0) {
        const QString dir = QString::fromLocal8Bit(argv[2]);
        return writeFiles(1000000, dir + u"/fillcp.dll"_s, dir + u"/riga.csv"_s) ? 0 : 1;
    }
    g_self = QString::fromLocal8Bit(argv[0]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
