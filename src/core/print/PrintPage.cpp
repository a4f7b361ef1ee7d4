#include "core/print/PrintPage.h"

#include "core/print/PainterSurface.h"

#include <QBuffer>
#include <QDir>
#include <QPageLayout>
#include <QPdfWriter>
#include <QSaveFile>

bool ComposePage(PrintSurface& surface, const PageComposer& compose)
{
    surface.PageSetUp();
    compose(surface);
    return surface.EndDocument();
}

QByteArray PagePdf(const PageComposer& compose, QString& errorText)
{
    QByteArray document;
    QBuffer buffer(&document);
    if (!buffer.open(QIODevice::WriteOnly)) {
        errorText = buffer.errorString();
        return {};
    }
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(PdfResolution);
        writer.setCreator(QStringLiteral("Cedolario"));
        writer.setTitle(QStringLiteral("Bollettino di conto corrente postale"));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        PainterSurface surface(writer);
        if (!ComposePage(surface, compose)) {
            errorText = surface.errorText();
            return {};
        }
    }
    return document;
}

bool SavePagePdf(const QString& path, const PageComposer& compose, QString& errorText)
{
    const QByteArray document = PagePdf(compose, errorText);
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
