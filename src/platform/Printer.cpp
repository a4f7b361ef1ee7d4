// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Printer.h"

#include "platform/SaveFileDialog.h"

QString NoPrinterOpening(const QString& reason)
{
    return reason.isEmpty() ? QStringLiteral("Non c'\u00e8 una stampante predefinita")
                            : Failure::SentenceOpening(reason);
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
