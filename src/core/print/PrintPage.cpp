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

Failure ComposeDocument(PainterSurface& surface, const DocumentComposer& document)
{
    if (document.pageCount < 1 || !document.drawPage)
        return Failure::failed(QStringLiteral("non c'\u00e8 nessuna pagina da stampare"));
    for (int page = 0; page < document.pageCount; ++page) {
        if (page > 0) {
            if (document.cancelled && document.cancelled()) {
                // The surface gives up its unfinished page when it goes.
                return Failure::cancelled(QStringLiteral("la stampa \u00e8 stata annullata"));
            }
            if (!surface.NewPage())
                return Failure::failed(surface.errorText());
        }
        surface.PageSetUp();
        document.drawPage(surface, page);
        if (surface.failed())
            return Failure::failed(surface.errorText());
    }
    if (!surface.EndDocument())
        return Failure::failed(surface.errorText());
    return {};
}

Failure WriteDocumentPdf(QIODevice& out, const DocumentComposer& document, const SheetMargins& margins)
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
    return ComposeDocument(surface, document);
}

Failure DocumentPdf(const DocumentComposer& document, const SheetMargins& margins, QByteArray& pdf)
{
    pdf.clear();
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    if (Failure failure = WriteDocumentPdf(buffer, document, margins)) {
        buffer.close();
        pdf.clear();
        return failure;
    }
    return {};
}

Failure SaveDocumentPdf(const QString& path, const DocumentComposer& document)
{
    OutputFile file(path);
    if (Failure failure = file.open())
        return failure;
    if (Failure failure = WriteDocumentPdf(file.device(), document, TypicalPrinterMargins))
        return failure;
    return file.commit();
}

Failure PagePdf(const PageComposer& compose, const SheetMargins& margins, QByteArray& pdf)
{
    return DocumentPdf(DocumentComposer::onePage(compose), margins, pdf);
}

Failure SavePagePdf(const QString& path, const PageComposer& compose)
{
    return SaveDocumentPdf(path, DocumentComposer::onePage(compose));
}

QString PdfNotSavedMessage(const QString& reason)
{
    return QStringLiteral("Il file PDF non \u00e8 stato salvato: %1.").arg(reason);
}
