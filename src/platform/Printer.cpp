// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Printer.h"

#include "platform/SaveFileDialog.h"

namespace {

QString nothingPrinted(PrintedSlips slips)
{
    return slips == PrintedSlips::One ? QStringLiteral("Il bollettino non \u00e8 stato stampato")
                                      : QStringLiteral("Nessun bollettino \u00e8 stato stampato");
}

} // namespace

QString PrintFailedMessage(const QString& reason, PrintedSlips slips)
{
    return QStringLiteral("La stampa non \u00e8 riuscita: %1.\n%2.").arg(reason, nothingPrinted(slips));
}

QString NoPrinterMessage(const QString& reason, PrintedSlips slips)
{
    // Without CUPS there is no default printer either: the reason, when there is one, says which.
    return QStringLiteral("%1: %2.").arg(
        nothingPrinted(slips),
        reason.isEmpty() ? QStringLiteral("non c'\u00e8 una stampante predefinita") : reason);
}

PrintOutcome Printer::savePdfAsked(SaveFileDialog& dialog, const PageComposer& compose)
{
    const QString path = dialog.askPdfPath();
    if (path.isEmpty())
        return {PrintOutcome::Cancelled, {}};
    if (const Failure failure = SavePagePdf(path, compose))
        return {PrintOutcome::Failed, failure.text()};
    return {PrintOutcome::Done, {}};
}
