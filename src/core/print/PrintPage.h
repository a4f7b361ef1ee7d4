#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

class PrintSurface;

// Draws the contents of one page; the page set-up and the end of the document are not its job.
using PageComposer = std::function<void(PrintSurface&)>;

// Page set-up, the composer's drawing, EndDocument: true when the page was completed.
bool ComposePage(PrintSurface& surface, const PageComposer& compose);

// Resolution of the PDF files the application writes, in dots per inch.
inline constexpr int PdfResolution = 1200;

// The page as a one-page PDF document, A4 landscape without margins, so that the printable area
// is the whole sheet. Empty, with the reason in errorText, when the page could not be composed.
QByteArray PagePdf(const PageComposer& compose, QString& errorText);

// The same document saved at path, replacing the file only once it is completely written.
bool SavePagePdf(const QString& path, const PageComposer& compose, QString& errorText);
