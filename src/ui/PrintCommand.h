// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/Overflow.h"
#include "core/print/PrintPage.h"
#include "core/slip/SlipFields.h"

#include <QImage>

#include <optional>

struct Services;
struct PrintTarget;

// A slip on its way to the printer: the texts as the slip form holds them, the model chosen on the
// palette and whether the code line is printed.
struct PrintableSlip {
    SlipModel model;
    SlipTexts fields;
    bool codeLine = false;
    QImage euroMark;
};

// The slip the windows hold, ready to print; nothing when neither model is chosen (only after a
// recall), and then nothing is printed and no job is opened.
std::optional<PrintableSlip> printableSlip(const SlipTexts& fields, const PaletteState& state,
                                           const QImage& euroMark);

// The print commands, on the values the windows held at the click: "stampa" (one page of the chosen
// slip model on the default printer, no dialog), "Stampa su…" (the printer and copies chosen in
// Qt's print dialog), "Anteprima di stampa" (Qt's preview of the same page) and "Salva come PDF…".
// Before anything is printed, texts that would run past their place on the slip are listed once
// and the user decides whether to print anyway. Failures are told in Italian; without a default
// printer the user may save the page as a PDF file instead.
class PrintCommand
{
public:
    explicit PrintCommand(Services& services);

    enum class Result {
        Printed,
        Cancelled,
        Failed,
        // CUPS took the job but keeps it in the queue of a stopped printer.
        Waiting,
        SavedAsPdf,
        NotSaved,
        NotPrintedForOverflow
    };
    // "stampa".
    Result run(const PrintableSlip& slip);
    // "Stampa su…".
    Result runOnChosenPrinter(const PrintableSlip& slip);
    // "Anteprima di stampa": printing from the preview is "Stampa su…".
    Result preview(const PrintableSlip& slip);
    // "Salva come PDF…".
    Result saveAsPdf(const PrintableSlip& slip);

    // What would overflow if the slip were printed now.
    std::vector<Overflow> overflows(const PrintableSlip& slip) const;

private:
    // The checked print path: the overflow question, the job, the outcome told.
    Result print(const PrintableSlip& slip, const PrintTarget& target);
    // Nothing overflows, or the user chose to print anyway (asked once, listing every overflow).
    bool printAnyway(const PrintableSlip& slip);
    // reason: why nothing was printed (empty: there is no default printer).
    Result offerPdfInstead(const PageComposer& page, const QString& reason);
    Result saveTo(const QString& path, const PageComposer& page);

    Services& m_services;
    OverflowFinder m_finder;
};
