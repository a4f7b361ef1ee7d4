// Reading a spreadsheet of slips (bytes -> rows -> typing rules -> slips) against reading the same
// file's bytes.
#include "ReadFileBytes.h"
#include "core/sheet/SlipSheet.h"

#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

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

void ReadSheetBytes(benchmark::State& state)
{
    ReadFileBytes(state, sheetOf(state.range(0)));
}

void ImportSheet(benchmark::State& state)
{
    const QString& path = sheetOf(state.range(0));
    const qint64 bytes = QFile(path).size();
    for (auto _ : state) {
        const SheetImport import = readSlipSheetFile(path);
        if (import.slips.size() != state.range(0) || !import.problems.isEmpty())
            state.SkipWithError("wrong slip count");
        benchmark::DoNotOptimize(import.slips.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(ReadSheetBytes)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportSheet)->Arg(10000)->Unit(benchmark::kMillisecond);

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Spreadsheet import"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "`ImportSheet/N` reads a CSV file of N slips (UTF-8 with BOM, \";\", every row quoted "
         "where a spreadsheet would quote it, accents in every row) and puts every row through the "
         "typing rules: digits, exact amount and its words, trimming, Windows-1252 check; "
         "`ReadSheetBytes/N` reads the same file's bytes into memory."),
     benchmark::AddCustomContext("cedolario.reference.ImportSheet", "ReadSheetBytes"), true);

BENCHMARK_MAIN();
