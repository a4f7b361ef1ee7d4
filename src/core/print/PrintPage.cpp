// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/print/PrintPage.h"

#include "core/print/PainterSurface.h"

#include "core/files/OutputFile.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPdfWriter>

DocumentComposer DocumentComposer::onePage(const PageComposer& compose)
{
    return {1, [compose](PrintSurface& surface, int) { compose(surface); }, {}};
}

bool ComposePage(PrintSurface& surface, const PageComposer& compose)
{
    surface.PageSetUp();
    compose(surface);
    return surface.EndDocument();
}

bool ComposeDocument(PainterSurface& surface, const DocumentComposer& document, QString& errorText,
                     DocumentFailure* failure)
{
    const auto failWith = [&](DocumentFailure how, const QString& reason) {
        errorText = reason;
        if (failure)
            *failure = how;
        return false;
    };
    if (failure)
        *failure = DocumentFailure::None;
    if (document.pageCount < 1 || !document.drawPage)
        return failWith(DocumentFailure::Failed, QStringLiteral("non c'\u00e8 nessuna pagina da stampare"));
    for (int page = 0; page < document.pageCount; ++page) {
        if (page > 0) {
            if (document.cancelled && document.cancelled()) {
                // The surface gives up its unfinished page when it goes.
                return failWith(DocumentFailure::Cancelled,
                                QStringLiteral("la stampa \u00e8 stata annullata"));
            }
            if (!surface.NewPage())
                return failWith(DocumentFailure::Failed, surface.errorText());
        }
        surface.PageSetUp();
        document.drawPage(surface, page);
        if (surface.failed())
            return failWith(DocumentFailure::Failed, surface.errorText());
    }
    if (!surface.EndDocument())
        return failWith(DocumentFailure::Failed, surface.errorText());
    return true;
}

bool WriteDocumentPdf(QIODevice& out, const DocumentComposer& document, const SheetMargins& margins,
                      QString& errorText, DocumentFailure* failure)
{
    QPdfWriter writer(&out);
    writer.setResolution(PdfResolution);
    writer.setCreator(QStringLiteral("Cedolario"));
    writer.setTitle(QStringLiteral("Bollettino di conto corrente postale"));
    // The margins belong to the landscape page: set them after its size and orientation, which
    // the page set-up repeats without touching them.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, margins,
                                     QPageLayout::Millimeter, QMarginsF()));
    PainterSurface surface(writer);
    return ComposeDocument(surface, document, errorText, failure);
}

QByteArray DocumentPdf(const DocumentComposer& document, const SheetMargins& margins, QString& errorText,
                       DocumentFailure* failure)
{
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    if (!WriteDocumentPdf(buffer, document, margins, errorText, failure))
        return {};
    return pdf;
}

bool SaveDocumentPdf(const QString& path, const DocumentComposer& document, QString& errorText,
                     DocumentFailure* failure)
{
    OutputFile file(path);
    if (!file.open(errorText)) {
        if (failure)
            *failure = DocumentFailure::Failed;
        return false;
    }
    if (!WriteDocumentPdf(file.device(), document, TypicalPrinterMargins, errorText, failure))
        return false;
    if (!file.commit(errorText)) {
        if (failure)
            *failure = DocumentFailure::Failed;
        return false;
    }
    return true;
}

QByteArray PagePdf(const PageComposer& compose, const SheetMargins& margins, QString& errorText)
{
    return DocumentPdf(DocumentComposer::onePage(compose), margins, errorText);
}

bool SavePagePdf(const QString& path, const PageComposer& compose, QString& errorText)
{
    return SaveDocumentPdf(path, DocumentComposer::onePage(compose), errorText);
}
