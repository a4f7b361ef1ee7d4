// SPDX-License-Identifier: GPL-3.0-or-later

// The overflow finder runs at every key press in the slip form: its time for one slip, against
// composing the same page into a PDF (what printing it does first) in the same run.
#include "SampleSlip.h"
#include "core/print/Overflow.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>

namespace {

SlipModel modelOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? SlipModel::TwoFrame : SlipModel::Premarcati;
}

// The sample slip; with a second argument of 1 its reason is 300 characters long (many wrapped
// lines, each measured as printing measures them).
SlipTexts slipOf(const benchmark::State& state)
{
    SlipTexts fields = SampleSlip();
    if (state.range(1) == 1)
        fields[PaymentReason] = QString(300, u'x');
    return fields;
}

void FindOverflows(benchmark::State& state)
{
    const OverflowFinder finder;
    const SlipTexts fields = slipOf(state);
    const SlipModel model = modelOf(state);
    for (auto _ : state) {
        const std::vector<Overflow> found = finder.find(model, fields, true);
        benchmark::DoNotOptimize(found.size());
    }
}

void ComposePagePdf(benchmark::State& state)
{
    const SlipTexts fields = slipOf(state);
    const SlipModel model = modelOf(state);
    const QImage euro(QStringLiteral(":/euro.png"));
    for (auto _ : state) {
        QByteArray pdf;
        (void)PagePdf([&](PrintSurface& page) { DrawSlipModel(page, model, fields, true, euro); },
                      TypicalPrinterMargins, pdf);
        benchmark::DoNotOptimize(pdf.size());
    }
}

const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Overflow finder"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "Finds every printed text of one slip that runs past its place (arguments: model 0 = 2 frame, "
         "1 = premarcati; reason 0 = the sample's, 1 = 300 characters), against composing the same page "
         "into a PDF."),
     benchmark::AddCustomContext("cedolario.reference.FindOverflows", "ComposePagePdf"), true);

} // namespace

BENCHMARK(FindOverflows)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(ComposePagePdf)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
