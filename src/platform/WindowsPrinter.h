// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Printer.h"

class SaveFileDialog;

// The system's printers through Qt's Windows print support, and PDF files through the file dialog.
//
// A job goes to the default printer (or the one named) with no dialog. The printer's state is read
// from the spooler first, so that a paused, offline or failing printer is told instead of taking the
// job in silence; the whole document is drawn as one job, and a job the spooler refuses while it is
// drawn or ended is reported, never taken as printed. After it is handed over, the job is followed
// in the printer's queue for a short while, so that an error there reaches the user too.
class WindowsPrinter final : public Printer
{
public:
    explicit WindowsPrinter(SaveFileDialog& dialog);

    PrintOutcome printDocument(const DocumentComposer& document, const PrintTarget& target) override;
    PrintOutcome savePageAsPdf(const PageComposer& compose) override;

    // How long, in milliseconds, a job handed to the spooler is followed in the queue (2500 unless
    // changed; 0 stops when the spooler has it).
    void setFollowTime(int milliseconds) { m_followTime = milliseconds; }

private:
    SaveFileDialog& m_dialog;
    int m_followTime = 2500;
};
