// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/Printer.h"

#include <functional>

class SaveFileDialog;

// The system's printers through CUPS's own library, and PDF files through the file dialog.
//
// A job: the destination is looked up as CUPS resolves it (LPDEST, PRINTER, lpoptions, the
// server's default) or by name; its A4 margins come from CUPS; the document is composed once into
// a PDF in memory, drawn from the top-left corner of that printable area, and only a complete
// document is sent. Every answer of CUPS is checked, then the job is followed for a short while,
// so that a refused, cancelled or aborted job, or one left waiting on a stopped printer, is
// reported instead of being taken as printed.
class CupsPrinter final : public Printer
{
public:
    explicit CupsPrinter(SaveFileDialog& dialog);

    PrintOutcome printDocument(const DocumentComposer& document, const PrintTarget& target) override;
    PrintOutcome savePageAsPdf(const PageComposer& compose) override;

    // How long, in milliseconds, a job accepted by CUPS is followed before it is taken as on its
    // way (2500 unless changed; 0 stops at the acceptance).
    void setFollowTime(int milliseconds) { m_followTime = milliseconds; }
    // Called with each document just before it is sent, and the margins it was drawn within.
    void
    setSubmissionObserver(std::function<void(const QByteArray& pdf, const SheetMargins& margins)> observer)
    {
        m_observer = std::move(observer);
    }

private:
    SaveFileDialog& m_dialog;
    int m_followTime = 2500;
    std::function<void(const QByteArray&, const SheetMargins&)> m_observer;
};
