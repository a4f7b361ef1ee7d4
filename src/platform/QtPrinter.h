#pragma once

#include "platform/Printer.h"

class QPrinter;
class SaveFileDialog;

// The default printer through Qt's print support (CUPS on Linux), and PDF files through the
// file dialog.
class QtPrinter final : public Printer
{
public:
    explicit QtPrinter(SaveFileDialog& dialog);

    PrintOutcome printPageOn(const PageComposer& compose, const PrintTarget& target) override;
    PrintOutcome savePageAsPdf(const PageComposer& compose) override;

    // Composes the page on a printer already chosen and ends the job.
    static PrintOutcome printOn(QPrinter& printer, const PageComposer& compose);

private:
    SaveFileDialog& m_dialog;
};
