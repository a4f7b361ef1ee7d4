// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/PrintDialogs.h"

#include "core/print/PainterSurface.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

namespace {

// The page is A4 landscape whatever the printer proposes, so the preview offers neither page
// set-up nor a choice of orientation; its print button is rerouted to onPrint, so that printing
// from the preview takes the application's own checked path instead of Qt's unchecked one.
void adaptPreviewDialog(QPrintPreviewDialog& dialog, const std::function<void()>& onPrint)
{
    QAction* print = nullptr;
    const QList<QToolBar*> toolBars = dialog.findChildren<QToolBar*>();
    if (!toolBars.isEmpty() && !toolBars.first()->actions().isEmpty())
        print = toolBars.first()->actions().constLast();
    for (QActionGroup* group : dialog.findChildren<QActionGroup*>()) {
        const QList<QAction*> actions = group->actions();
        if (print && actions.contains(print)) {
            // The print button's group holds page set-up beside it.
            for (QAction* action : actions) {
                if (action != print)
                    action->setVisible(false);
            }
        } else if (actions.size() == 2 && actions[0]->isCheckable() && actions[1]->isCheckable() &&
                   actions[0]->objectName().isEmpty() && actions[1]->objectName().isEmpty()) {
            // Portrait and landscape (the fit buttons, also a checkable pair, carry object names).
            group->setVisible(false);
        }
    }
    if (print) {
        print->disconnect(&dialog);
        QObject::connect(print, &QAction::triggered, &dialog, [onPrint] { onPrint(); });
    }
}

void setUpPage(QPrinter& printer)
{
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Landscape);
}

} // namespace

bool QtPrintDialogs::preview(const PageComposer& page, const std::vector<Overflow>& overflows)
{
    // The default printer, so that its printable area places the page as printing it would;
    // measured at the resolution of the composed job.
    QPrinter printer(QPrinter::HighResolution);
    printer.setResolution(PdfResolution);
    setUpPage(printer);
    QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Anteprima di stampa"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&page, &overflows](QPrinter* target) {
                         PainterSurface surface(*target);
                         ComposeMarkedPage(surface, page, overflows);
                     });
    bool printRequested = false;
    adaptPreviewDialog(dialog, [&dialog, &printRequested] {
        printRequested = true;
        dialog.accept();
    });
    dialog.resize(1000, 700);
    dialog.exec();
    return printRequested;
}

std::optional<PrinterChoice> QtPrintDialogs::choosePrinter()
{
    QPrinter printer(QPrinter::HighResolution);
    setUpPage(printer);
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    dialog.setWindowTitle(QStringLiteral("Stampa su\u2026"));
    // One page: no range, selection or current page to choose; copies and the printer are the choice.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    PrinterChoice choice;
    choice.copies = std::max(1, printer.copyCount());
    if (printer.outputFormat() == QPrinter::PdfFormat) {
        choice.pdfPath = printer.outputFileName();
        if (choice.pdfPath.isEmpty())
            return std::nullopt;
    } else {
        choice.printerName = printer.printerName();
    }
    return choice;
}
