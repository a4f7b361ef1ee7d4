// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

// A PDF read back with poppler's tools (poppler-utils).
struct PdfWord {
    QString text;
    int page = 0;                    // from 0
    double left, top, right, bottom; // centimetres from the top-left corner of the sheet
};

// Runs a poppler tool on a file; its standard output, or nothing with the reason in error.
QByteArray RunPdfTool(const QString& program, const QStringList& arguments, QString& error);
// Every word of every page, as pdftotext -bbox places it. Empty, with the reason in error, when the
// tool is missing or fails.
QList<PdfWord> PdfWords(const QString& pdf, QString& error);
// The page count pdfinfo reports, -1 when it cannot read the file.
int PdfPageCount(const QString& pdf);
// The first word with this text whose top-left corner lies within tolerance (cm) of (x, y), or
// nullptr; seen lists where words of that text were found instead.
const PdfWord* FindPdfWord(const QList<PdfWord>& words, const QString& text, double x, double y,
                           double tolerance, QStringList* seen = nullptr);
