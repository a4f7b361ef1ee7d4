// SPDX-License-Identifier: GPL-3.0-or-later

// A reason for payment of 10 kB to 1 MB (a pasted document, a bad spreadsheet cell): its line breaks
// found as printing finds them, the overflow check that the slip form and the sheet review run on
// it, and the whole page composed into a PDF, against measuring the same text's width once on the
// same device in the same run. The ratio to that reference stays flat when the cost is linear.
#include "SampleSlip.h"
#include "core/print/Overflow.h"
#include "core/print/PainterSurface.h"
#include "core/print/PrintPage.h"
#include "core/print/PrintRoutines.h"
#include "core/print/SlipLayout.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

#include <random>

namespace {

// The payment part's limit on the "2 frame" slip, in the reason's 8 point bold.
constexpr float ReasonWidthLimit = 14.0f;
constexpr float ReasonPoints = 8.0f;

// Words of 1 to 12 letters, some accented, one space apart, and now and then a word of 40 letters
// with no space to break at: the same text for every run.
QString reasonText(qsizetype length)
{
    static const QString letters = QStringLiteral("abcdefghilmnopqrstuvzàèéìòù");
    std::mt19937 random(19);
    std::uniform_int_distribution<int> letter(0, int(letters.size()) - 1);
    std::uniform_int_distribution<int> wordLength(1, 12);
    std::uniform_int_distribution<int> longWord(0, 49);
    QString text;
    text.reserve(length + 64);
    while (text.size() < length) {
        const int size = longWord(random) == 0 ? 40 : wordLength(random);
        for (int i = 0; i < size; ++i)
            text.append(letters[letter(random)]);
        text.append(u' ');
    }
    text.truncate(length);
    return text;
}

// Measures on the PDF device the application prints files on, and draws nothing.
class MeasuringSurface final : public PrintSurface
{
public:
    MeasuringSurface() : m_writer(&m_sink), m_page(m_writer)
    {
        m_sink.open(QIODevice::WriteOnly);
        m_writer.setResolution(PdfResolution);
        m_page.setFontSize(ReasonPoints);
        m_page.setBold(true);
    }
    void PageSetUp() override {}
    void setFontSize(float points) override { m_page.setFontSize(points); }
    void setBold(bool bold) override { m_page.setBold(bold); }
    void setTextColour(TextColour) override {}
    void setLineStyle(LineStyle) override {}
    void PrintAt(float, float, const QString& text) override { lines += text.size() > 0; }
    double TextWidth(const QString& text) override
    {
        ++measurements;
        measured += text.size();
        return m_page.TextWidth(text);
    }
    void DrawLine(float, float, float, float) override {}
    void DrawFilledBox(float, float, float, float) override {}
    void DrawPicture(const QImage&, float, float, float, float) override {}
    bool EndDocument() override { return true; }

    qint64 lines = 0;
    qint64 measurements = 0;
    qint64 measured = 0; // characters measured, all measurements together

private:
    QBuffer m_sink;
    QPdfWriter m_writer;
    PainterSurface m_page;
};

void WrapReason(benchmark::State& state)
{
    const QString text = reasonText(state.range(0));
    MeasuringSurface surface;
    for (auto _ : state) {
        surface.lines = surface.measurements = surface.measured = 0;
        PrintWrapped(surface, 13.2f, 5.0, ReasonWidthLimit, text);
        benchmark::DoNotOptimize(surface.lines);
    }
    // What one wrapping measures: how often, and how many characters for each one of the text.
    state.counters["lines"] = double(surface.lines);
    state.counters["measurements_per_line"] = double(surface.measurements) / double(surface.lines);
    state.counters["measured_per_character"] = double(surface.measured) / double(text.size());
    state.SetBytesProcessed(state.iterations() * text.size());
}

void FindReasonOverflow(benchmark::State& state)
{
    SlipTexts fields = SampleSlip();
    fields[PaymentReason] = reasonText(state.range(0));
    const OverflowFinder finder;
    for (auto _ : state) {
        const std::vector<Overflow> found = finder.find(SlipModel::TwoFrame, fields, true);
        benchmark::DoNotOptimize(found.size());
    }
    state.SetBytesProcessed(state.iterations() * fields[PaymentReason].size());
}

void PrintReasonPdf(benchmark::State& state)
{
    SlipTexts fields = SampleSlip();
    fields[PaymentReason] = reasonText(state.range(0));
    const QImage euro(QStringLiteral(":/euro.png"));
    for (auto _ : state) {
        QByteArray pdf;
        if (const Failure failure = PagePdf(
                [&](PrintSurface& page) { DrawSlipModel(page, SlipModel::TwoFrame, fields, true, euro); },
                TypicalPrinterMargins, pdf))
            state.SkipWithError(failure.text().toUtf8().constData());
        benchmark::DoNotOptimize(pdf.size());
    }
    state.SetBytesProcessed(state.iterations() * fields[PaymentReason].size());
}

void MeasureReasonOnce(benchmark::State& state)
{
    const QString text = reasonText(state.range(0));
    MeasuringSurface surface;
    for (auto _ : state)
        benchmark::DoNotOptimize(surface.TextWidth(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}

const bool described =
    (benchmark::AddCustomContext("cedolario.section", "Long reason for payment"),
     benchmark::AddCustomContext(
         "cedolario.about",
         "A reason of N characters (words of 1 to 12 letters, now and then one of 40) on the \"2 frame\" "
         "slip: `WrapReason/N` finds its line breaks as printing does, measured on the 1200 dpi PDF "
         "device; `FindReasonOverflow/N` is the overflow check of the whole slip; `PrintReasonPdf/N` "
         "composes the page into a PDF; `MeasureReasonOnce/N` measures the whole text's width once "
         "on the same device."),
     benchmark::AddCustomContext("cedolario.reference.WrapReason", "MeasureReasonOnce"),
     benchmark::AddCustomContext("cedolario.reference.FindReasonOverflow", "MeasureReasonOnce"),
     benchmark::AddCustomContext("cedolario.reference.PrintReasonPdf", "MeasureReasonOnce"), true);

} // namespace

BENCHMARK(WrapReason)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(FindReasonOverflow)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(PrintReasonPdf)->Arg(10'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(MeasureReasonOnce)->Arg(10'000)->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond);

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
