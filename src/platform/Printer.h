#pragma once

#include "core/print/PrintPage.h"

#include <QString>

// How sending one page went.
struct PrintOutcome {
    enum Status {
        Done,      // the page went to the printer or into the file
        Cancelled, // the user chose no file
        NoPrinter, // the system has no default printer; nothing was drawn
        Failed,    // the job was abandoned: errorText says why, in Italian
    };
    Status status = Done;
    QString errorText;
};

// Where a job goes: a printer named as CUPS knows it (empty: the system's default printer), and
// how many copies of it.
struct PrintTarget {
    QString printerName;
    int copies = 1;
};

// The system's printers, and a PDF file that can stand in for them.
class Printer
{
public:
    virtual ~Printer() = default;

    // One page on the default printer, with no dialog. A page that cannot be completed never
    // reaches the printer half-drawn.
    PrintOutcome printPage(const PageComposer& compose) { return printPageOn(compose, PrintTarget{}); }
    // One page on a chosen printer, in as many copies as the target says.
    PrintOutcome printPage(const PageComposer& compose, const PrintTarget& target)
    {
        return printPageOn(compose, target);
    }
    virtual PrintOutcome printPageOn(const PageComposer& compose, const PrintTarget& target) = 0;
    // Asks where to save, then writes the same page as a PDF file.
    virtual PrintOutcome savePageAsPdf(const PageComposer& compose) = 0;
};
