// SPDX-License-Identifier: GPL-3.0-or-later

// One slip page composed into a PDF through the print surface, against the same drawings made
// with a bare QPainter on the same kind of device in the same run.
#include "RecordingSurface.h"
#include "SampleSlip.h"
#include "core/print/PainterSurface.h"
#include "core/print/PrintFont.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

QImage euroMark()
{
    return QImage(QStringLiteral(":/euro.png"));
}

void composeToPdf(benchmark::State& state, SlipModel model)
{
    const SlipTexts fields = SampleSlip();
    const QImage euro = euroMark();
    for (auto _ : state) {
        QByteArray pdf;
        (void)PagePdf([&](PrintSurface& page) { DrawSlipModel(page, model, fields, true, euro); },
                      TypicalPrinterMargins, pdf);
        benchmark::DoNotOptimize(pdf.size());
    }
}

// The drawings of a model as the surface makes them, with positions already worked out.
std::vector<RecordingSurface::Call> recordedCalls(SlipModel model)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(PdfResolution);
    PainterSurface measurer(writer);
    RecordingSurface recorder(&measurer);
    DrawSlipModel(recorder, model, SampleSlip(), true, euroMark());
    return recorder.calls;
}

void bareQPainterToPdf(benchmark::State& state, SlipModel model)
{
    const std::vector<RecordingSurface::Call> calls = recordedCalls(model);
    const QImage euro = euroMark();
    for (auto _ : state) {
        QByteArray pdf;
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        {
            QPdfWriter writer(&buffer);
            writer.setResolution(PdfResolution);
            writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                             TypicalPrinterMargins, QPageLayout::Millimeter, QMarginsF()));
            const double dots = PdfResolution / 2.54;
            QPainter painter(&writer);
            painter.setRenderHint(QPainter::LosslessImageRendering);
            QFont font = PrintFont();
            for (const RecordingSurface::Call& call : calls) {
                switch (call.operation) {
                case RecordingSurface::Operation::PrintAt: {
                    font.setPointSizeF(call.size);
                    font.setBold(call.bold);
                    painter.setFont(font);
                    painter.setPen(call.colour == TextColour::White ? Qt::white : Qt::black);
                    const qreal ascent = painter.fontMetrics().ascent();
                    painter.drawText(QPointF(call.x1 * dots, call.y1 * dots + ascent), call.text);
                    break;
                }
                case RecordingSurface::Operation::DrawLine:
                    painter.setPen(QPen(Qt::black, 0));
                    painter.drawLine(QLineF(call.x1 * dots, call.y1 * dots, call.x2 * dots, call.y2 * dots));
                    break;
                case RecordingSurface::Operation::DrawFilledBox:
                    painter.fillRect(QRectF(QPointF(call.x1 * dots, call.y1 * dots),
                                            QPointF(call.x2 * dots, call.y2 * dots)),
                                     Qt::black);
                    break;
                case RecordingSurface::Operation::DrawPicture:
                    painter.drawImage(QRectF(call.x1 * dots, call.y1 * dots, call.x2 * dots, call.y2 * dots),
                                      euro);
                    break;
                default:
                    break;
                }
            }
        }
        benchmark::DoNotOptimize(pdf.size());
    }
}

void BM_SlipPdf_TwoFrame(benchmark::State& state)
{
    composeToPdf(state, SlipModel::TwoFrame);
}
void BM_SlipPdf_Premarcati(benchmark::State& state)
{
    composeToPdf(state, SlipModel::Premarcati);
}
void BM_BareQPainterPdf_TwoFrame(benchmark::State& state)
{
    bareQPainterToPdf(state, SlipModel::TwoFrame);
}
void BM_BareQPainterPdf_Premarcati(benchmark::State& state)
{
    bareQPainterToPdf(state, SlipModel::Premarcati);
}

} // namespace

BENCHMARK(BM_SlipPdf_TwoFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQPainterPdf_TwoFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SlipPdf_Premarcati)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareQPainterPdf_Premarcati)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::AddCustomContext("cedolario.section", "Page composition");
    benchmark::AddCustomContext(
        "cedolario.about",
        "One A4 landscape page of a filled-in slip written as a PDF into memory, through the "
        "print surface and the model's row table, against the same drawings made with a bare "
        "QPainter.");
    benchmark::AddCustomContext("cedolario.reference.BM_SlipPdf_TwoFrame", "BM_BareQPainterPdf_TwoFrame");
    benchmark::AddCustomContext("cedolario.reference.BM_SlipPdf_Premarcati", "BM_BareQPainterPdf_Premarcati");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
