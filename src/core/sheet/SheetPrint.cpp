// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/sheet/SheetPrint.h"

#include "core/print/Overflow.h"
#include "core/print/SlipLayout.h"

using namespace Qt::StringLiterals;

SheetPages printableSlips(const QList<SheetSlip>& slips)
{
    SheetPages pages;
    for (const SheetSlip& slip : slips) {
        if (ChosenSlipModel(slip.state))
            pages.slips.append(slip);
        else
            pages.skipped.append({slip.row, sheetHeader(int(SheetColumn::Model)),
                                  u"nessun modello scelto: il bollettino non si può stampare"_s});
    }
    return pages;
}

void drawSheetSlip(PrintSurface& surface, const SheetSlip& slip, const QImage& euroMark)
{
    if (const std::optional<SlipModel> model = ChosenSlipModel(slip.state))
        DrawSlipModel(surface, *model, slip.fields, CodeLineWanted(slip.state), euroMark);
}

DocumentComposer sheetDocument(const QList<SheetSlip>& slips, const QImage& euroMark,
                               std::function<bool()> cancelled, std::function<void(int done)> done)
{
    DocumentComposer document;
    document.pageCount = int(slips.size());
    document.drawPage = [slips, euroMark, done](PrintSurface& surface, int page) {
        drawSheetSlip(surface, slips.at(page), euroMark);
        if (done)
            done(page + 1);
    };
    document.cancelled = std::move(cancelled);
    return document;
}

QImage sheetEuroMark()
{
    return QImage(u":/euro.png"_s);
}

QStringList sheetOverflowWarnings(const QList<SheetSlip>& slips, const OverflowFinder& finder)
{
    QStringList warnings;
    for (const SheetSlip& slip : slips) {
        const std::optional<SlipModel> model = ChosenSlipModel(slip.state);
        if (!model)
            continue;
        const std::vector<Overflow> overflows = finder.find(*model, slip.fields, CodeLineWanted(slip.state));
        if (overflows.empty())
            continue;
        QStringList descriptions;
        for (const Overflow& overflow : overflows)
            descriptions.append(OverflowDescription(overflow));
        warnings.append(u"Riga %1 (%2): %3"_s.arg(QString::number(slip.row), SlipModelName(*model),
                                                  descriptions.join(u"; "_s)));
    }
    return warnings;
}
