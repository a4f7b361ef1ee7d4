// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the sample slips of both models as PDF files: slip_samples OUTPUT_DIRECTORY.
// scripts/render-slips turns them into the pictures under docs/.
#include "SampleSlip.h"
#include "core/print/PrintPage.h"
#include "core/print/SlipLayout.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: slip_samples OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir directory(QString::fromLocal8Bit(argv[1]));
    const QImage euro(QStringLiteral(":/euro.png"));
    const SlipTexts fields = SampleSlip();
    const struct {
        SlipModel model;
        const char* file;
    } samples[] = {{SlipModel::TwoFrame, "slip-2frame.pdf"}, {SlipModel::Premarcati, "slip-premarcati.pdf"}};
    for (const auto& sample : samples) {
        const QString path = directory.filePath(QString::fromLatin1(sample.file));
        const Failure failure = SavePagePdf(
            path, [&](PrintSurface& surface) { DrawSlipModel(surface, sample.model, fields, true, euro); });
        if (failure) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(failure.text()));
            return 1;
        }
        std::printf("%s\n", qPrintable(path));
    }
    return 0;
}
