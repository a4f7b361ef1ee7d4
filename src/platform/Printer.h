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

// The system's default printer, and a PDF file that can stand in for it.
class Printer
{
public:
    virtual ~Printer() = default;

    // One page on the default printer, with no dialog. A page that cannot be completed never
    // reaches the printer half-drawn.
    virtual PrintOutcome printPage(const PageComposer& compose) = 0;
    // Asks where to save, then writes the same page as a PDF file.
    virtual PrintOutcome savePageAsPdf(const PageComposer& compose) = 0;
};
