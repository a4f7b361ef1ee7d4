#include "platform/QtPrinter.h"

#include "core/print/PainterSurface.h"
#include "platform/SaveFileDialog.h"

#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>

QtPrinter::QtPrinter(SaveFileDialog& dialog) : m_dialog(dialog)
{
}

PrintOutcome QtPrinter::printPageOn(const PageComposer& compose, const PrintTarget& target)
{
    const QPrinterInfo chosen = target.printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                             : QPrinterInfo::printerInfo(target.printerName);
    if (chosen.isNull() && target.printerName.isEmpty())
        return {PrintOutcome::NoPrinter, {}};
    if (chosen.isNull())
        return {PrintOutcome::Failed,
                QStringLiteral("la stampante \u00ab%1\u00bb non esiste").arg(target.printerName)};

    // Qt's CUPS back end cannot withdraw a job once its painter has begun, so the page is first
    // composed in memory: one that cannot be completed never reaches the printer.
    QString errorText;
    if (PagePdf(compose, errorText).isEmpty())
        return {PrintOutcome::Failed, errorText};

    QPrinter printer(chosen, QPrinter::HighResolution);
    printer.setCopyCount(std::max(1, target.copies));
    printer.setDocName(QStringLiteral("cedolario"));
    printer.setCreator(QStringLiteral("Cedolario"));
    return printOn(printer, compose);
}

PrintOutcome QtPrinter::printOn(QPrinter& printer, const PageComposer& compose)
{
    PainterSurface surface(printer, [&printer] { printer.abort(); });
    if (!ComposePage(surface, compose))
        return {PrintOutcome::Failed, surface.errorText()};
    if (printer.printerState() == QPrinter::Error)
        return {PrintOutcome::Failed, QStringLiteral("la stampante ha segnalato un errore")};
    return {PrintOutcome::Done, {}};
}

PrintOutcome QtPrinter::savePageAsPdf(const PageComposer& compose)
{
    const QString path = m_dialog.askPdfPath();
    if (path.isEmpty())
        return {PrintOutcome::Cancelled, {}};
    QString errorText;
    if (!SavePagePdf(path, compose, errorText))
        return {PrintOutcome::Failed, errorText};
    return {PrintOutcome::Done, {}};
}
