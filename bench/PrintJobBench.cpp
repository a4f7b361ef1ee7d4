// SPDX-License-Identifier: GPL-3.0-or-later

// The "stampa" button up to the job accepted by CUPS, against composing the same page alone, in
// the same run. Needs the private CUPS that scripts/bench starts as root; without it every
// figure says why it is missing.
#include "AppHarness.h"
#include "SampleSlip.h"
#include "ScriptedSaveFileDialog.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"
#include "platform/CupsPrinter.h"
#include "ui/Form2.h"
#include "ui/PictureButton.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <benchmark/benchmark.h>

namespace {

// The stopped queue accepts jobs and keeps them, so that no PDF filter runs beside the
// measurement; its jobs are cancelled afterwards.
QString queue()
{
    return qEnvironmentVariable("CEDOLARIO_CUPS_STOPPED");
}

void cancelJobs()
{
    QProcess::execute(QStringLiteral("cancel"), {QStringLiteral("-a"), queue()});
}

// Composing the page alone: the model's rows into a PDF in memory, within the queue's margins.
void ComposePageAlone(benchmark::State& state)
{
    const QImage euro(QStringLiteral(":/euro.png"));
    const SlipTexts fields = SampleSlip();
    // The margins CUPS gives the stopped queue, on the landscape page.
    const SheetMargins margins(8.47, 4.23, 4.23, 4.23);
    for (auto _ : state) {
        QByteArray pdf;
        if (const Failure failure = PagePdf(
                [&](PrintSurface& page) { DrawSlipModel(page, SlipModel::Premarcati, fields, true, euro); },
                margins, pdf)) {
            state.SkipWithError(qPrintable(failure.text()));
            break;
        }
    }
}

// A click on "stampa" until CUPS has accepted the job: the overflow check, the destination and
// its margins looked up, the page composed, the job created and its document sent.
void ClickToJobAccepted(benchmark::State& state)
{
    if (qEnvironmentVariableIsEmpty("CUPS_SERVER") || queue().isEmpty()) {
        state.SkipWithError("no private CUPS (scripts/bench starts one as root)");
        return;
    }
    qputenv("PRINTER", queue().toLocal8Bit());
    ScriptedSaveFileDialog dialog;
    CupsPrinter printer(dialog);
    printer.setFollowTime(0);
    AppHarness app(Replacements{nullptr, &printer});
    app.start().setFields(SampleSlip());
    app.palette().setPaletteState(PaletteState{true, false, CheckBoxState::Ticked});
    for (auto _ : state)
        QTest::mouseClick(app.palette().Image2[Form2::PrintButton], Qt::LeftButton);
    qunsetenv("PRINTER");
    cancelJobs();
    // Every click took its job to the queue: a stopped queue says so, and nothing else is shown.
    for (const ScriptedMessageBoxes::Shown& shown : app.messages.shown) {
        if (shown.kind != ScriptedMessageBoxes::Shown::Information) {
            state.SkipWithError(qPrintable(shown.text));
            break;
        }
    }
}

} // namespace

BENCHMARK(ComposePageAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(ClickToJobAccepted)->Unit(benchmark::kMillisecond)->Iterations(30);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("LPDEST");
    QApplication app(argc, argv);
    benchmark::AddCustomContext("cedolario.section", "Print job");
    benchmark::AddCustomContext(
        "cedolario.about",
        "A click on \"stampa\" (premarcati model, code line on) until CUPS has accepted the job, on a "
        "queue of the private CUPS that keeps its jobs, against composing the same page into a PDF in "
        "memory alone. The job is then followed for up to 2.5 s in the application; that wait is left "
        "out here.");
    benchmark::AddCustomContext("cedolario.reference.ClickToJobAccepted", "ComposePageAlone");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
