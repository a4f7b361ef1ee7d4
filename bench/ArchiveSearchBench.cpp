// SPDX-License-Identifier: GPL-3.0-or-later

// The archive list's filter: one keystroke over N records, against listing the N records unfiltered.
#include "core/archive/ArchiveDates.h"
#include "core/archive/ArchiveSearch.h"

#include <benchmark/benchmark.h>

#include <chrono>

using namespace Qt::StringLiterals;

namespace {

const QLocale& italian()
{
    static const QLocale locale(QLocale::Italian, QLocale::Italy);
    return locale;
}

// An archive of n records as the save writes them, made once.
const ArchiveTable& tableOf(qsizetype n)
{
    static QMap<qsizetype, ArchiveTable> tables;
    auto found = tables.constFind(n);
    if (found != tables.constEnd())
        return *found;
    static const char16_t* const surnames[] = {u"Rossi",   u"Bianchi", u"Ferrè",  u"Esposito", u"Romano",
                                               u"Colombo", u"Ricci",   u"Marino", u"Greco",    u"Bruno"};
    QByteArray bytes;
    QByteArray record;
    UnstorableCharacter problem;
    for (qsizetype r = 0; r < n; ++r) {
        const QString r10 = QString::number(r);
        const SlipTexts fields = {QString::fromUtf16(surnames[r % 10]) + u" Socio "_s + r10,
                                  u"Via Garibaldi "_s + r10,
                                  u"00100"_s,
                                  u"Città"_s,
                                  QString::number(r % 997) + u",50"_s,
                                  QString(),
                                  u"Associazione Amici del Po"_s,
                                  u"Sezione "_s + QString::number(r % 40),
                                  QString(),
                                  u"12345678"_s,
                                  u"Quota n. "_s + r10,
                                  u"123"_s};
        if (!encodeSavedRecord(savedDateText(QDate(2020, 1, 1).addDays(r / 8), italian()), fields,
                               PaletteState{false, true, CheckBoxState::Ticked}, record, problem))
            qFatal("%s", qPrintable(unstorableMessage(problem)));
        bytes += record;
    }
    return *tables.insert(n, readArchive(bytes));
}

void ListRecords(benchmark::State& state)
{
    const ArchiveTable& table = tableOf(state.range(0));
    const StoredDateReader dates(italian());
    for (auto _ : state) {
        const QStringList entries = listEntries(table, dates);
        benchmark::DoNotOptimize(entries.constData());
    }
}

// Folding every record's texts once, after the list is loaded.
void BuildSearch(benchmark::State& state)
{
    const ArchiveTable& table = tableOf(state.range(0));
    const StoredDateReader dates(italian());
    for (auto _ : state) {
        const ArchiveSearch search(table, dates);
        benchmark::DoNotOptimize(&search);
    }
}

// The list's rows for a query: the matching indices and their entries, as the list shows them.
void filter(benchmark::State& state, QStringView query, qsizetype expected)
{
    const ArchiveTable& table = tableOf(state.range(0));
    const StoredDateReader dates(italian());
    const QStringList entries = listEntries(table, dates);
    const ArchiveSearch search(table, dates);
    for (auto _ : state) {
        // Each keystroke measured as the first of a new query: nothing narrowed from the one before.
        state.PauseTiming();
        search.matching(u"");
        state.ResumeTiming();
        const QList<qsizetype> found = search.matching(query);
        QStringList shown;
        shown.reserve(found.size());
        for (qsizetype index : found)
            shown.append(entries[index]);
        if (expected >= 0 && found.size() != expected)
            state.SkipWithError("wrong match count");
        benchmark::DoNotOptimize(shown.constData());
    }
}

// A name and a number: one record.
void FilterKeystroke(benchmark::State& state)
{
    filter(state, u"ferre 4217", -1);
}

// One letter more of a common name: a tenth of the records.
void FilterKeystrokeCommon(benchmark::State& state)
{
    filter(state, u"ross", state.range(0) / 10);
}

// A text that occurs nowhere: the whole buffer is scanned.
void FilterKeystrokeNothing(benchmark::State& state)
{
    filter(state, u"zanzara", 0);
}

// A name typed letter by letter, as the user types it: the time of one keystroke on average, each
// narrowing what the one before found.
void TypeKeystroke(benchmark::State& state)
{
    const ArchiveTable& table = tableOf(state.range(0));
    const StoredDateReader dates(italian());
    const QStringList entries = listEntries(table, dates);
    const ArchiveSearch search(table, dates);
    const QString typed = u"rossi socio 4217"_s;
    for (auto _ : state) {
        search.matching(u"");
        const auto start = std::chrono::steady_clock::now();
        for (qsizetype length = 1; length <= typed.size(); ++length) {
            const QList<qsizetype> found = search.matching(QStringView(typed).first(length));
            QStringList shown;
            shown.reserve(found.size());
            for (qsizetype index : found)
                shown.append(entries[index]);
            benchmark::DoNotOptimize(shown.constData());
        }
        const std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(spent.count() / double(typed.size()));
    }
}

} // namespace

BENCHMARK(ListRecords)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BuildSearch)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystroke)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystrokeCommon)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystrokeNothing)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(ListRecords)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystroke)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(FilterKeystrokeNothing)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(TypeKeystroke)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Archive list filter"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "`FilterKeystroke*/N` is one keystroke in \"Cerca\" over N records: the matching records "
         "and their list entries (a name and a number matching one record; \"ross\" matching a "
         "tenth; a word matching none); `BuildSearch/N` folds the records' texts once, after a "
         "list load; `ListRecords/N` makes the N unfiltered list entries, as the list load does; "
         "`TypeKeystroke/N` is the average keystroke while \"rossi socio 4217\" is typed letter by "
         "letter, each narrowing the one before (one frame is 16.7 ms)."),
     benchmark::AddCustomContext("cedolario.reference.BuildSearch", "ListRecords"),
     benchmark::AddCustomContext("cedolario.reference.FilterKeystroke", "ListRecords"),
     benchmark::AddCustomContext("cedolario.reference.FilterKeystrokeCommon", "ListRecords"),
     benchmark::AddCustomContext("cedolario.reference.FilterKeystrokeNothing", "ListRecords"),
     benchmark::AddCustomContext("cedolario.reference.TypeKeystroke", "ListRecords"), true);

BENCHMARK_MAIN();
