// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/Overflow.h"
#include "core/print/PrintPage.h"

#include <QString>

#include <optional>
#include <vector>

// Where the user sent one job in Qt's print dialog: a printer (as CUPS names it) and a number of
// copies, or a PDF file when the dialog's own "print to file" was chosen.
struct PrinterChoice {
    QString printerName;
    int copies = 1;
    QString pdfPath; // not empty: write the page to this file instead of printing
};

// Qt's own print dialogs, behind a seam that tests script.
class PrintDialogs
{
public:
    virtual ~PrintDialogs() = default;

    // Qt's print preview of the page, the overflowing texts outlined on it (on screen only).
    // Returns when the dialog closes: true when the user pressed its print button, which the
    // caller then takes through its own print path.
    virtual bool preview(const PageComposer& page, const std::vector<Overflow>& overflows) = 0;
    // Qt's print dialog for one job; nothing when the user cancels.
    virtual std::optional<PrinterChoice> choosePrinter() = 0;
};

// The dialogs of Qt's print support, modal over the active window.
class QtPrintDialogs final : public PrintDialogs
{
public:
    bool preview(const PageComposer& page, const std::vector<Overflow>& overflows) override;
    std::optional<PrinterChoice> choosePrinter() override;
};
