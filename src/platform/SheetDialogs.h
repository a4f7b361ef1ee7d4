// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/sheet/SlipSheet.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// What the user sees of a sheet before anything of it is stored or printed.
struct SheetReview {
    QString fileName;
    int goodRows = 0;
    int refusedRows = 0;
    QList<SheetProblem> problems; // row, column, reason
    QStringList ignoredColumns;
    QStringList overflowWarnings; // one line a row whose texts would run past their place
    QString missingColumns;       // the key columns the header lacks, as one sentence; empty when none
    QStringList notices;          // one line a row taken with something to check (a completed postcode…)
    int alreadyStored = 0;        // good rows the archive holds already, left out of a plain Store
    QStringList notes;            // where the header is, the hidden and total rows left out
    QStringList columnUses;       // how each column of the sheet fills the slip
    QStringList mergedValues;     // the values every row takes from the form: "Conto: 123 (dal modulo)"
    int hiddenRows = 0;           // rows the sheet hides, left out: the review offers to read them
    QStringList similar;          // "Riga 4: simile a un bollettino del …", left out of a plain Store
};

// What the user chose to do with the good rows of a sheet.
enum class SheetAction {
    Stop,       // nothing is stored or printed
    Store,      // into the archive, all together, but for those it holds already
    StoreAll,   // into the archive, those it holds already or almost too
    Print,      // one job on the default printer, one page a slip
    SavePdf,    // one PDF file, one page a slip
    ReadHidden, // read the sheet again, with the rows it hides
};

// The progress of a job of many slips; the user may stop it between two slips.
class BatchProgress
{
public:
    virtual ~BatchProgress() = default;
    // Slips done so far; lets the user's click on "Annulla" through.
    virtual void setDone(int done) = 0;
    virtual bool cancelled() = 0;
    // The work has gone where it can no longer be stopped from here (the job handed to CUPS): the
    // label says so and "Annulla" is disabled.
    virtual void passCancelling(const QString& label) { Q_UNUSED(label); }
};

// Qt's standard file dialogs for spreadsheets and archives, the review of a sheet and the progress
// of a batch. Tests answer them in advance.
class SheetDialogs
{
public:
    virtual ~SheetDialogs() = default;

    // Paths chosen by the user; empty when the user cancels.
    virtual QString askSheetToOpen() = 0;
    virtual QString askSheetToSave(const QString& suggestedName) = 0;
    virtual QString askArchiveToOpen() = 0;
    virtual QString askPdfToSave(const QString& suggestedName) = 0;
    // The sheet to read of a workbook that has several (names in order, the first proposed); nothing
    // when the user cancels. Without a dialog of its own, the first.
    virtual std::optional<QString> chooseSheet(const QString& fileName, const QStringList& names)
    {
        Q_UNUSED(fileName);
        return names.value(0);
    }

    // Shows how many rows are good and which are not and why; the user goes on with the good rows
    // (storing, printing or saving them as PDF) or stops.
    virtual SheetAction review(const SheetReview& review) = 0;

    // A progress window for total slips, shown while they are composed.
    virtual std::unique_ptr<BatchProgress> startProgress(const QString& label, int total) = 0;
};

// The dialogs of the window system.
class QtSheetDialogs final : public SheetDialogs
{
public:
    QString askSheetToOpen() override;
    QString askSheetToSave(const QString& suggestedName) override;
    QString askArchiveToOpen() override;
    QString askPdfToSave(const QString& suggestedName) override;
    std::optional<QString> chooseSheet(const QString& fileName, const QStringList& names) override;
    SheetAction review(const SheetReview& review) override;
    std::unique_ptr<BatchProgress> startProgress(const QString& label, int total) override;
};
