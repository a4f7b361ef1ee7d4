// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/amount/AmountFormat.h"
#include "core/amount/AmountWords.h"

#include <QLocale>

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

// Reference: the same text read and written back through floating point with QLocale, the usual
// shortcut that formatting by digits replaces.
void localeDouble(benchmark::State& state, const char16_t* typed)
{
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QString text = QString::fromUtf16(typed);
    for (auto _ : state) {
        bool ok = false;
        const double value = italian.toDouble(text, &ok);
        QString formatted = italian.toString(value, 'f', 2);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(formatted);
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
BENCHMARK_CAPTURE(localeDouble, short_12_5, u"12,5");
BENCHMARK_CAPTURE(localeDouble, thousands_1234_56, u"1234,56");
BENCHMARK_CAPTURE(localeDouble, largest_in_words_999999_994, u"999999,994");
BENCHMARK_CAPTURE(localeDouble, carry_99999_995, u"99999,995");
BENCHMARK_CAPTURE(localeDouble, refused_no_comma, u"1234");
BENCHMARK_CAPTURE(localeDouble, eighteen_digits_no_words, u"123456789012345678,5");

static const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Amount formatting and words"),
     benchmark::AddCustomContext(
         "cedolario.about", "Leaving the amount field: the comma check, exact formatting by digits and the "
                            "amount in words, against parsing and printing the same text as a double with "
                            "QLocale."),
     benchmark::AddCustomContext("cedolario.reference.formatAndWords", "localeDouble"),
     benchmark::AddCustomContext("cedolario.reference.formatOnly", "localeDouble"), true);
BENCHMARK(formatLong)->Arg(18)->Arg(1000)->Arg(100000);

BENCHMARK_MAIN();
