#include "core/print/PrintPage.h"

#include "core/print/PainterSurface.h"

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>

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

QByteArray DocumentPdf(const DocumentComposer& document, const SheetMargins& margins, QString& errorText,
                       DocumentFailure* failure)
{
    const auto failWith = [&](DocumentFailure how, const QString& reason) {
        errorText = reason;
        if (failure)
            *failure = how;
        return QByteArray();
    };
    if (failure)
        *failure = DocumentFailure::None;
    if (document.pageCount < 1 || !document.drawPage)
        return failWith(DocumentFailure::Failed, QStringLiteral("non c'\u00e8 nessuna pagina da stampare"));

    QByteArray pdf;
    QBuffer buffer(&pdf);
    if (!buffer.open(QIODevice::WriteOnly))
        return failWith(DocumentFailure::Failed, buffer.errorString());
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(PdfResolution);
        writer.setCreator(QStringLiteral("Cedolario"));
        writer.setTitle(QStringLiteral("Bollettino di conto corrente postale"));
        // The margins belong to the landscape page: set them after its size and orientation, which
        // the page set-up repeats without touching them.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, margins,
                                         QPageLayout::Millimeter, QMarginsF()));
        PainterSurface surface(writer);
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
    }
    return pdf;
}

QByteArray PagePdf(const PageComposer& compose, const SheetMargins& margins, QString& errorText)
{
    return DocumentPdf(DocumentComposer::onePage(compose), margins, errorText);
}

bool SavePagePdf(const QString& path, const PageComposer& compose, QString& errorText)
{
    const QByteArray document = PagePdf(compose, TypicalPrinterMargins, errorText);
    if (document.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
        errorText = QStringLiteral("impossibile scrivere %1 (%2)")
                        .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
