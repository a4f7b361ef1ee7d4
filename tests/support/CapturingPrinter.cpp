// SPDX-License-Identifier: GPL-3.0-or-later

#include "CapturingPrinter.h"

#include "core/print/PrintPage.h"

namespace {

QStringList recorded(const PageComposer& compose)
{
    RecordingSurface surface;
    ComposePage(surface, compose);
    return surface.described();
}

} // namespace

PrintOutcome CapturingPrinter::printDocument(const DocumentComposer& document, const PrintTarget& target)
{
    // With no printer nothing is drawn.
    if (printOutcome.status == PrintOutcome::NoPrinter)
        return printOutcome;
    targets.push_back(target);
    for (int page = 0; page < document.pageCount; ++page) {
        if (page > 0 && document.cancelled && document.cancelled())
            return {PrintOutcome::Cancelled, {}};
        printedPages.push_back(recorded([&](PrintSurface& surface) { document.drawPage(surface, page); }));
    }
    return printOutcome;
}

PrintOutcome CapturingPrinter::savePageAsPdf(const PageComposer& compose)
{
    if (pdfOutcome.status != PrintOutcome::Cancelled)
        pdfPages.push_back(recorded(compose));
    return pdfOutcome;
}
