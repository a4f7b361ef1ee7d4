// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/PrintCommand.h"

#include "core/amount/AmountWords.h"
#include "core/print/SlipLayout.h"
#include "platform/MessageBoxes.h"
#include "platform/PrintDialogs.h"
#include "platform/Printer.h"
#include "platform/Services.h"

#include <QDir>

namespace {

PageComposer slipPage(const PrintableSlip& slip)
{
    return [slip](PrintSurface& surface) {
        DrawSlipModel(surface, slip.model, slip.fields, slip.codeLine, slip.euroMark);
    };
}

} // namespace

std::optional<PrintableSlip> printableSlip(const SlipTexts& fields, const PaletteState& state,
                                           const QImage& euroMark)
{
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    if (!model)
        return std::nullopt;
    return PrintableSlip{*model, fields, CodeLineWanted(state), euroMark};
}

PrintCommand::PrintCommand(Services& services) : m_services(services)
{
}

std::vector<Overflow> PrintCommand::overflows(const PrintableSlip& slip) const
{
    return m_finder.find(slip.model, slip.fields, slip.codeLine);
}

PrintCommand::Result PrintCommand::run(const PrintableSlip& slip)
{
    return print(slip, PrintTarget{});
}

PrintCommand::Result PrintCommand::runOnChosenPrinter(const PrintableSlip& slip)
{
    const std::optional<PrinterChoice> choice = m_services.printDialogs.choosePrinter();
    if (!choice)
        return Result::Cancelled;
    if (!choice->pdfPath.isEmpty()) {
        if (!printAnyway(slip))
            return Result::NotPrintedForOverflow;
        return saveTo(choice->pdfPath, slipPage(slip));
    }
    PrintTarget target;
    target.printerName = choice->printerName;
    target.copies = choice->copies;
    return print(slip, target);
}

PrintCommand::Result PrintCommand::preview(const PrintableSlip& slip)
{
    if (!m_services.printDialogs.preview(slipPage(slip), overflows(slip)))
        return Result::Cancelled;
    return runOnChosenPrinter(slip);
}

PrintCommand::Result PrintCommand::saveAsPdf(const PrintableSlip& slip)
{
    // A PDF is printed later as it is: the same question as "stampa" before it is written.
    if (!printAnyway(slip))
        return Result::NotPrintedForOverflow;
    const PrintOutcome saved = m_services.printer.savePageAsPdf(slipPage(slip));
    switch (saved.status) {
    case PrintOutcome::Done:
        return Result::SavedAsPdf;
    case PrintOutcome::Failed:
        m_services.messages.critical(PdfNotSavedMessage(saved.errorText));
        return Result::NotSaved;
    default:
        return Result::Cancelled;
    }
}

PrintCommand::Result PrintCommand::print(const PrintableSlip& slip, const PrintTarget& target)
{
    MessageBoxes& messages = m_services.messages;
    if (!printAnyway(slip))
        return Result::NotPrintedForOverflow;

    const PageComposer page = slipPage(slip);
    const PrintOutcome printed = m_services.printer.printPage(page, target);
    switch (printed.status) {
    case PrintOutcome::Done:
        return Result::Printed;
    case PrintOutcome::Cancelled:
        return Result::Cancelled;
    case PrintOutcome::Failed:
        messages.critical(PrintFailedMessage(printed.errorText, PrintedSlips::One));
        return Result::Failed;
    case PrintOutcome::Waiting:
        messages.inform(
            QStringLiteral("Il bollettino non \u00e8 ancora stato stampato: %1.\nSar\u00e0 stampato "
                           "quando la stampante riprender\u00e0 a funzionare.")
                .arg(printed.errorText));
        return Result::Waiting;
    case PrintOutcome::NoPrinter:
        break;
    }
    return offerPdfInstead(page, printed.errorText);
}

bool PrintCommand::printAnyway(const PrintableSlip& slip)
{
    const SlipTexts& fields = slip.fields;
    // "premarcati" does not print the words.
    if (slip.model == SlipModel::TwoFrame && AmountWordsDisagree(fields[Amount], fields[AmountWords]) &&
        !m_services.messages.askYesNoDefaultNo(
            QStringLiteral("%1: «%2».\nStampare lo stesso?")
                .arg(AmountWordsDisagreement(fields[Amount]), fields[AmountWords].trimmed())))
        return false;
    const std::vector<Overflow> found = overflows(slip);
    return found.empty() || m_services.messages.askYesNoDefaultNo(OverflowQuestion(slip.model, found));
}

PrintCommand::Result PrintCommand::offerPdfInstead(const PageComposer& page, const QString& reason)
{
    MessageBoxes& messages = m_services.messages;
    if (!messages.askYesNo(NoPrinterMessage(reason, PrintedSlips::One) +
                           QStringLiteral("\nVuoi salvarlo come file PDF?")))
        return Result::NotSaved;
    const PrintOutcome saved = m_services.printer.savePageAsPdf(page);
    switch (saved.status) {
    case PrintOutcome::Done:
        return Result::SavedAsPdf;
    case PrintOutcome::Failed:
        messages.critical(PdfNotSavedMessage(saved.errorText));
        return Result::NotSaved;
    default:
        break;
    }
    return Result::NotSaved;
}

PrintCommand::Result PrintCommand::saveTo(const QString& path, const PageComposer& page)
{
    const Failure failure = SavePagePdf(path, page);
    if (!failure)
        return Result::SavedAsPdf;
    m_services.messages.critical(PdfNotSavedMessage(failure.text()));
    return Result::NotSaved;
}
