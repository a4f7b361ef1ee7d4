#include "ui/PrintCommand.h"

#include "core/print/SlipLayout.h"
#include "platform/MessageBoxes.h"
#include "platform/Printer.h"
#include "platform/Services.h"
#include "ui/Form1.h"
#include "ui/Form2.h"

PrintCommand::PrintCommand(Form1& slip, Form2& palette, Services& services)
    : m_slip(slip), m_palette(palette), m_services(services)
{
}

void PrintCommand::run()
{
    const PaletteState state = m_palette.paletteState();
    const std::optional<SlipModel> model = ChosenSlipModel(state);
    // Neither model selected (only after a recall): nothing is printed and no job is opened.
    if (!model)
        return;

    // The page is composed from what the windows hold now.
    const SlipTexts fields = m_slip.fields();
    const bool codeLine = CodeLineWanted(state);
    const QImage euroMark = m_palette.euroMark();
    const SlipModel chosen = *model;
    const PageComposer page = [fields, codeLine, euroMark, chosen](PrintSurface& surface) {
        DrawSlipModel(surface, chosen, fields, codeLine, euroMark);
    };

    MessageBoxes& messages = *m_services.messages;
    if (!m_services.printer) {
        messages.critical(
            QStringLiteral("Nessuna stampante disponibile: il bollettino non \u00e8 stato stampato."));
        return;
    }
    Printer& printer = *m_services.printer;
    const PrintOutcome printed = printer.printPage(page);
    switch (printed.status) {
    case PrintOutcome::Done:
    case PrintOutcome::Cancelled:
        return;
    case PrintOutcome::Failed:
        messages.critical(
            QStringLiteral("La stampa non \u00e8 riuscita: %1.\nIl bollettino non \u00e8 stato stampato.")
                .arg(printed.errorText));
        return;
    case PrintOutcome::NoPrinter:
        break;
    }

    if (!messages.askYesNo(
            QStringLiteral("Non c'\u00e8 una stampante predefinita: il bollettino non \u00e8 stato "
                           "stampato.\nVuoi salvarlo come file PDF?")))
        return;
    const PrintOutcome saved = printer.savePageAsPdf(page);
    if (saved.status == PrintOutcome::Failed)
        messages.critical(QStringLiteral("Il file PDF non \u00e8 stato salvato: %1.").arg(saved.errorText));
}
