// SPDX-License-Identifier: GPL-3.0-or-later

// Reading a spreadsheet of slips (bytes -> rows -> typing rules -> slips) against reading the same
// file's bytes.
#include "ChildPeak.h"
#include "ReadFileBytes.h"
#include "core/files/InputFile.h"
#include "core/sheet/SlipSheet.h"
#include "core/workbook/SheetFile.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A CSV file of n rows as Italian spreadsheets write it, made once per size.
const QString& sheetOf(qsizetype n)
{
    static QTemporaryDir dir;
    static QMap<qsizetype, QString> paths;
    auto found = paths.constFind(n);
    if (found != paths.constEnd())
        return *found;
    QList<QStringList> rows;
    rows.append({u"Nome"_s, u"Indirizzo"_s, u"CAP"_s, u"Città"_s, u"Importo"_s, u"Intestato 1"_s,
                 u"Intestato 2"_s, u"Conto"_s, u"Causale"_s, u"TD"_s, u"Modello"_s, u"Stampa indic."_s});
    for (qsizetype r = 0; r < n; ++r) {
        const QString r10 = QString::number(r);
        rows.append({u"Socio Nicolò "_s + r10, u"Via Università "_s + r10, u"00100"_s, u"Città"_s,
                     QString::number(r % 1000) + u",5"_s, u"Associazione \"Amici del Po\""_s,
                     u"Sezione di Torino"_s, u"12345678"_s, u"Quota 2027; socio n. "_s + r10, u"896"_s,
                     r % 2 ? u"premarcati"_s : u"2 frame"_s, u"sì"_s});
    }
    const QString path = dir.filePath(u"soci-%1.csv"_s.arg(n));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(writeCsv(rows)) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return *paths.insert(n, path);
}

// 20 MB of empty cells (";" and a line end, over and over) under a header.
const QString& emptyCellsSheet()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString name = dir.filePath(u"vuote.csv"_s);
        QFile file(name);
        const QByteArray bytes = QByteArray("Nome;Importo\n") + QByteArray(";\n").repeated(10 << 20);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(name));
        return name;
    }();
    return path;
}

QString g_self; // this executable, run again as the child that measures

// The resident memory of this process in kB, from /proc/self/statm.
qint64 residentKb()
{
    QFile statm(u"/proc/self/statm"_s);
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLongLong() * ::sysconf(_SC_PAGESIZE) / 1024;
}

// What the child does, writing its resident memory in kB to its standard output while it holds what
// it has read: "start" nothing, "bytes" the file's bytes, "import" the bytes and the slips read from
// them, as readSheetFile() holds both before it returns.
int childMain(const char* work, const char* path)
{
    const QString name = QString::fromLocal8Bit(path);
    QByteArray bytes;
    if (qstrcmp(work, "start") != 0 && readInputFile(name, qint64(1) << 30, bytes))
        return 1;
    SheetImport import;
    if (qstrcmp(work, "import") == 0 && readSlipSheet(bytes, import))
        return 1;
    const QByteArray kb = QByteArray::number(residentKb());
    return ::write(1, kb.constData(), size_t(kb.size())) == kb.size() ? 0 : 1;
}

// The resident memory, in MiB, of a fresh run of this executable that does work on path.
double childPeakMiB(const char* work, const QString& path)
{
    return ::childPeakMiB(QFile::encodeName(g_self),
                          {QByteArrayLiteral("--peak-child"), work, QFile::encodeName(path)});
}

// Memory: arg 0 = 20 MB of empty cells, arg 1 = 20 MB of slips (125 000 rows as above), each the
// resident memory of a fresh process holding what it read (start_MiB: the same process reading nothing).
void peakOf(benchmark::State& state, const char* work)
{
    const QString& path = state.range(0) == 0 ? emptyCellsSheet() : sheetOf(125000);
    const double peak = repeatedChildPeak(state, [&] { return childPeakMiB(work, path); });
    const double file = double(QFile(path).size()) / double(1 << 20);
    state.counters["peak_MiB"] = peak;
    state.counters["file_MiB"] = file;
    state.counters["peak_per_file"] = peak / file;
    state.counters["start_MiB"] = childPeakMiB("start", path);
}

void PeakReadBytes(benchmark::State& state)
{
    peakOf(state, "bytes");
}

void PeakImport(benchmark::State& state)
{
    peakOf(state, "import");
}

void ReadSheetBytes(benchmark::State& state)
{
    ReadFileBytes(state, sheetOf(state.range(0)));
}

void ImportSheet(benchmark::State& state)
{
    const QString& path = sheetOf(state.range(0));
    const qint64 bytes = QFile(path).size();
    for (auto _ : state) {
        SheetImport import;
        if (readSheetFile(path, import) || import.slips.size() != state.range(0) ||
            !import.problems.isEmpty())
            state.SkipWithError("wrong slip count");
        benchmark::DoNotOptimize(import.slips.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(ReadSheetBytes)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportSheet)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakReadBytes)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(PeakImport)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Spreadsheet import"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "`ImportSheet/N` reads a CSV file of N slips (UTF-8 with BOM, \";\", every row quoted "
         "where a spreadsheet would quote it, accents in every row) and puts every row through the "
         "typing rules: digits, exact amount and its words, trimming, Windows-1252 check; "
         "`ReadSheetBytes/N` reads the same file's bytes into memory. `PeakImport/0` and `/1` import 20 MB "
         "of empty cells and 20 MB of slips in a fresh process; the counter `peak_MiB` is its resident "
         "memory "
         "holding the bytes and the slips (as the import does before it lets the bytes go), "
         "`start_MiB` that of the same process reading nothing, `peak_per_file` the peak over "
         "the file's size; `PeakReadBytes` reads the same file's bytes alone in such a process."),
     benchmark::AddCustomContext("cedolario.reference.ImportSheet", "ReadSheetBytes"),
     benchmark::AddCustomContext("cedolario.reference.PeakImport", "PeakReadBytes"), true);

int main(int argc, char** argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--peak-child") == 0)
        return childMain(argv[2], argv[3]);
    g_self = QString::fromLocal8Bit(argv[0]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
