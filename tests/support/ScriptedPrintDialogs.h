// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "RecordingSurface.h"
#include "platform/PrintDialogs.h"

#include <QStringList>

// Qt's preview and print dialogs, answered in advance: the preview records the page it was given
// and the overflows it would mark, and answers whether its print button was pressed; the print
// dialog answers with a choice set in advance (none: the user cancels).
class ScriptedPrintDialogs final : public PrintDialogs
{
public:
    bool preview(const PageComposer& page, const std::vector<Overflow>& overflows) override
    {
        RecordingSurface surface;
        ComposePage(surface, page);
        previewedPages.push_back(surface.described());
        previewedOverflows.push_back(overflows);
        return pressPrintInPreview;
    }

    std::optional<PrinterChoice> choosePrinter() override
    {
        ++printerChoices;
        return choice;
    }

    bool pressPrintInPreview = false;
    std::optional<PrinterChoice> choice;
    std::vector<QStringList> previewedPages;
    std::vector<std::vector<Overflow>> previewedOverflows;
    int printerChoices = 0;
};
