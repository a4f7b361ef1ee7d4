// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RecordingSurface.h"
#include "platform/Printer.h"

#include <vector>

// A printer that composes every page it is given on a recording surface and answers with the
// outcomes set in advance.
class CapturingPrinter final : public Printer
{
public:
    PrintOutcome printDocument(const DocumentComposer& document, const PrintTarget& target) override;
    PrintOutcome savePageAsPdf(const PageComposer& compose) override;

    PrintOutcome printOutcome{PrintOutcome::Done, {}};
    PrintOutcome pdfOutcome{PrintOutcome::Done, {}};
    // The calls of each page, in order: PageSetUp first, EndDocument last.
    std::vector<QStringList> printedPages;
    std::vector<QStringList> pdfPages;
    // Where each printed document was sent.
    std::vector<PrintTarget> targets;
};
