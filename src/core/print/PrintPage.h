// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"

#include <QByteArray>
#include <QIODevice>
#include <QMarginsF>
#include <QString>

#include <functional>

class PainterSurface;
class PrintSurface;

// Draws the contents of one page; the page set-up and the end of the document are not its job.
using PageComposer = std::function<void(PrintSurface&)>;

// A document of several pages, one slip to a page, printed as one job.
struct DocumentComposer {
    int pageCount = 0;
    // Draws page `page` (from 0); the page set-up before it is done already.
    std::function<void(PrintSurface&, int page)> drawPage;
    // Asked before each page after the first: true abandons the whole document, so nothing of it
    // reaches the printer. Unset, the document always runs to its end.
    std::function<bool()> cancelled;

    static DocumentComposer onePage(const PageComposer& compose);
};

// Page set-up, the composer's drawing, EndDocument: true when the page was completed.
bool ComposePage(PrintSurface& surface, const PageComposer& compose);

// Resolution of the PDF files the application writes, in dots per inch.
inline constexpr int PdfResolution = 1200;

// The unprintable border of the sheet, in millimetres, on the landscape page: the page's drawing
// starts at its top-left corner of the printable area.
using SheetMargins = QMarginsF;

// The border most printers leave on A4, and the one CUPS gives its generic A4 queues: 1/6 inch,
// 4.23 mm on every side. The PDF files the application saves carry it, so that printing such a
// file later puts the slip where printing it directly would.
inline constexpr double TypicalMarginMm = 4.23;
inline const SheetMargins TypicalPrinterMargins{TypicalMarginMm, TypicalMarginMm, TypicalMarginMm,
                                                TypicalMarginMm};

// Draws every page of the document on the surface, one after the other, and ends it. A document
// cancelled between two pages (Failure::Kind::Cancelled), or failing, is given up by the surface, so
// none of it is kept.
Failure ComposeDocument(PainterSurface& surface, const DocumentComposer& document);

// Writes the document as a PDF to out, page by page, so that a long document never stands whole in
// memory: A4 landscape, each page drawn from the top-left corner of the printable area that the
// margins leave.
Failure WriteDocumentPdf(QIODevice& out, const DocumentComposer& document, const SheetMargins& margins);

// The document as such a PDF, into pdf (left empty on a failure).
Failure DocumentPdf(const DocumentComposer& document, const SheetMargins& margins, QByteArray& pdf);

// One page as such a PDF.
Failure PagePdf(const PageComposer& compose, const SheetMargins& margins, QByteArray& pdf);

// The document as a PDF file with the typical printer's margins, written as OutputFile writes (whole or
// not at all, never through another user's link), page by page.
Failure SaveDocumentPdf(const QString& path, const DocumentComposer& document);

// The page as such a PDF file.
Failure SavePagePdf(const QString& path, const PageComposer& compose);

// What the user reads when a PDF file could not be written, reason the failure's clause.
QString PdfNotSavedMessage(const QString& reason);
