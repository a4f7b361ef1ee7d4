#include "slip/AmountFormat.h"
#include "slip/AmountWords.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

// What leaving the amount field costs: the check and formatting, then the words.
void formatAndWords(benchmark::State& state, const char16_t* typed)
{
    const QString text = QString::fromUtf16(typed);
    for (auto _ : state) {
        std::optional<QString> formatted = FormatAmount(text);
        std::optional<QString> words = AmountInWords(formatted.value_or(QString()));
        benchmark::DoNotOptimize(formatted);
        benchmark::DoNotOptimize(words);
    }
}

void formatOnly(benchmark::State& state, const char16_t* typed)
{
    const QString text = QString::fromUtf16(typed);
    for (auto _ : state) {
        std::optional<QString> formatted = FormatAmount(text);
        benchmark::DoNotOptimize(formatted);
    }
}

// An integer part of n nines and ",995": the carry runs through every digit.
void formatLong(benchmark::State& state)
{
    const QString text = QString(state.range(0), u'9') + QStringLiteral(",995");
    for (auto _ : state) {
        std::optional<QString> formatted = FormatAmount(text);
        benchmark::DoNotOptimize(formatted);
    }
}

} // namespace

BENCHMARK_CAPTURE(formatAndWords, short_12_5, u"12,5");
BENCHMARK_CAPTURE(formatAndWords, thousands_1234_56, u"1234,56");
BENCHMARK_CAPTURE(formatAndWords, largest_in_words_999999_994, u"999999,994");
BENCHMARK_CAPTURE(formatAndWords, carry_99999_995, u"99999,995");
BENCHMARK_CAPTURE(formatAndWords, refused_no_comma, u"1234");
BENCHMARK_CAPTURE(formatAndWords, eighteen_digits_no_words, u"123456789012345678,5");
BENCHMARK_CAPTURE(formatOnly, thousands_1234_56, u"1234,56");
BENCHMARK(formatLong)->Arg(18)->Arg(1000)->Arg(100000);

BENCHMARK_MAIN();
