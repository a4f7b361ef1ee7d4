#include "ui/PrintCommand.h"

#include "core/print/SlipLayout.h"
#include "platform/MessageBoxes.h"
#include "platform/Printer.h"
#include "platform/Services.h"

PrintCommand::PrintCommand(Services& services) : m_services(services)
{
}

PrintCommand::Result PrintCommand::run(const SlipTexts& fields, const PaletteState& state,
                                       const QImage& euroMark)
{
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    // Neither model selected (only after a recall): nothing is printed and no job is opened.
    if (!model)
        return Result::NothingToPrint;

    const bool codeLine = CodeLineWanted(state);
    const SlipModel chosen = *model;
    const PageComposer page = [fields, codeLine, euroMark, chosen](PrintSurface& surface) {
        DrawSlipModel(surface, chosen, fields, codeLine, euroMark);
    };

    MessageBoxes& messages = m_services.messages;
    Printer& printer = m_services.printer;
    const PrintOutcome printed = printer.printPage(page);
    switch (printed.status) {
    case PrintOutcome::Done:
        return Result::Printed;
    case PrintOutcome::Cancelled:
        return Result::Cancelled;
    case PrintOutcome::Failed:
        messages.critical(
            QStringLiteral("La stampa non \u00e8 riuscita: %1.\nIl bollettino non \u00e8 stato stampato.")
                .arg(printed.errorText));
        return Result::Failed;
    case PrintOutcome::NoPrinter:
        break;
    }

    if (!messages.askYesNo(
            QStringLiteral("Non c'\u00e8 una stampante predefinita: il bollettino non \u00e8 stato "
                           "stampato.\nVuoi salvarlo come file PDF?")))
        return Result::NotSaved;
    const PrintOutcome saved = printer.savePageAsPdf(page);
    switch (saved.status) {
    case PrintOutcome::Done:
        return Result::SavedAsPdf;
    case PrintOutcome::Failed:
        messages.critical(QStringLiteral("Il file PDF non \u00e8 stato salvato: %1.").arg(saved.errorText));
        return Result::NotSaved;
    case PrintOutcome::Cancelled:
    case PrintOutcome::NoPrinter:
        break;
    }
    return Result::NotSaved;
}
