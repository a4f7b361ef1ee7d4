// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Printer.h"

#include "platform/SaveFileDialog.h"

PrintOutcome Printer::savePdfAsked(SaveFileDialog& dialog, const PageComposer& compose)
{
    const QString path = dialog.askPdfPath();
    if (path.isEmpty())
        return {PrintOutcome::Cancelled, {}};
    QString errorText;
    if (!SavePagePdf(path, compose, errorText))
        return {PrintOutcome::Failed, errorText};
    return {PrintOutcome::Done, {}};
}
