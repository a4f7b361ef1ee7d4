// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintPage.h"

#include <QString>

class SaveFileDialog;

// How sending a page or a document went.
struct PrintOutcome {
    enum Status {
        Done,      // the job was accepted by the printer, or the file was written
        Cancelled, // the user chose no file, or stopped a document between two pages
        NoPrinter, // the system has no default printer; nothing was drawn
        Failed,    // nothing was printed: errorText says why, in Italian
        Waiting,   // the job was accepted but waits in the queue (a stopped printer): errorText
                   // says why, in Italian; it prints when the printer is started again
    };
    Status status = Done;
    QString errorText;
};

// How many slips a message about printing speaks of: the form's one, or a sheet's.
enum class PrintedSlips { One, Several };

// What the user reads when nothing was printed, reason the outcome's clause: for a Failed outcome "La
// stampa non è riuscita: …", for a NoPrinter one "… non è stato stampato: …", its reason or, without
// one, that the system has no default printer.
QString PrintFailedMessage(const QString& reason, PrintedSlips slips);
QString NoPrinterMessage(const QString& reason, PrintedSlips slips);

// Where a job goes: a printer named as CUPS knows it (empty: the system's default printer), and
// how many copies of it.
struct PrintTarget {
    QString printerName;
    int copies = 1;
};

// The system's printers, and a PDF file that can stand in for them.
class Printer
{
protected:
    // Asks the dialog where to save, then writes the page there as a PDF file.
    static PrintOutcome savePdfAsked(SaveFileDialog& dialog, const PageComposer& compose);

public:
    virtual ~Printer() = default;

    // One page on the default printer, with no dialog. A page that cannot be completed never
    // reaches the printer half-drawn.
    PrintOutcome printPage(const PageComposer& compose)
    {
        return printDocument(DocumentComposer::onePage(compose), PrintTarget{});
    }
    // One page on a chosen printer, in as many copies as the target says.
    PrintOutcome printPage(const PageComposer& compose, const PrintTarget& target)
    {
        return printDocument(DocumentComposer::onePage(compose), target);
    }
    // Every page of the document as one job: composed completely before anything is sent, so a
    // document that fails or is cancelled halfway sends nothing.
    virtual PrintOutcome printDocument(const DocumentComposer& document, const PrintTarget& target) = 0;
    // Asks where to save, then writes the same page as a PDF file.
    virtual PrintOutcome savePageAsPdf(const PageComposer& compose) = 0;
};
