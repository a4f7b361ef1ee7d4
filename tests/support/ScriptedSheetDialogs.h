// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/SheetDialogs.h"

#include <QList>

// File dialogs, review and progress answered in advance; records what was asked and reviewed.
class ScriptedSheetDialogs final : public SheetDialogs
{
public:
    QString sheetToOpen;
    QString sheetToSave;
    QString archiveToOpen;
    QString pdfToSave;
    bool stopAtSheetChoice = false; // the choice of a workbook's sheet is closed without one
    SheetAction action = SheetAction::Stop;
    QList<SheetAction> actions; // answered first, one a review, before action
    // The progress reports "Annulla" clicked once this many slips are done (-1: never).
    int cancelAfter = -1;

    QList<SheetReview> reviews;
    QList<int> progressDone;     // every setDone, in order
    int cancellingPassedAt = -1; // the slips done when "Annulla" was disabled
    QString cancellingPassedLabel;
    int progressWindows = 0;

    QString askSheetToOpen() override { return sheetToOpen; }
    QString askSheetToSave(const QString&) override { return sheetToSave; }
    QString askArchiveToOpen() override { return archiveToOpen; }
    QString askPdfToSave(const QString&) override { return pdfToSave; }
    std::optional<QString> chooseSheet(const QString& fileName, const QStringList& names) override
    {
        if (stopAtSheetChoice)
            return std::nullopt;
        return SheetDialogs::chooseSheet(fileName, names);
    }
    SheetAction review(const SheetReview& review) override
    {
        reviews.append(review);
        return actions.isEmpty() ? action : actions.takeFirst();
    }
    std::unique_ptr<BatchProgress> startProgress(const QString&, int) override
    {
        ++progressWindows;
        return std::make_unique<Progress>(*this);
    }

private:
    class Progress final : public BatchProgress
    {
    public:
        explicit Progress(ScriptedSheetDialogs& owner) : m_owner(owner) {}
        void setDone(int done) override
        {
            m_done = done;
            m_owner.progressDone.append(done);
        }
        bool cancelled() override { return m_owner.cancelAfter >= 0 && m_done >= m_owner.cancelAfter; }
        void passCancelling(const QString& label) override
        {
            m_owner.cancellingPassedAt = m_done;
            m_owner.cancellingPassedLabel = label;
        }

    private:
        ScriptedSheetDialogs& m_owner;
        int m_done = 0;
    };
};
