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

PrintOutcome CapturingPrinter::printPageOn(const PageComposer& compose, const PrintTarget& target)
{
    // With no printer nothing is drawn.
    if (printOutcome.status == PrintOutcome::NoPrinter)
        return printOutcome;
    targets.push_back(target);
    printedPages.push_back(recorded(compose));
    return printOutcome;
}

PrintOutcome CapturingPrinter::savePageAsPdf(const PageComposer& compose)
{
    if (pdfOutcome.status != PrintOutcome::Cancelled)
        pdfPages.push_back(recorded(compose));
    return pdfOutcome;
}
