// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/print/PrintPage.h"
#include "core/sheet/SlipSheet.h"

#include <QImage>
#include <QList>
#include <QStringList>

class OverflowFinder;
class PrintSurface;

// Printing the good rows of a sheet: one page a slip, each in the model its row chose, drawn exactly
// as the "stampa" command draws the slip form.

// The rows that can be printed (a model is chosen) and, for the others, why not.
struct SheetPages {
    QList<SheetSlip> slips;
    QList<SheetProblem> skipped;
};
SheetPages printableSlips(const QList<SheetSlip>& slips);

// Draws one slip's page (the page set-up is done already).
void drawSheetSlip(PrintSurface& surface, const SheetSlip& slip, const QImage& euroMark);

// The slips as one document, one page a slip. cancelled is asked between two slips; done, when
// given, is told how many slips are drawn after each one.
DocumentComposer sheetDocument(const QList<SheetSlip>& slips, const QImage& euroMark,
                               std::function<bool()> cancelled = {}, std::function<void(int done)> done = {});

// The euro mark the slips print, from the application's pictures.
QImage sheetEuroMark();

// Every text that would run past its place, one line a row: "Riga 5: …; …". Rows that fit are not
// listed.
QStringList sheetOverflowWarnings(const QList<SheetSlip>& slips, const OverflowFinder& finder);
