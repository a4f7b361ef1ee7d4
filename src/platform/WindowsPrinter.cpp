// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/WindowsPrinter.h"

#include "core/print/PainterSurface.h"
#include "platform/SaveFileDialog.h"

#include <QDeadlineTimer>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QThread>

#include <windows.h>
#include <winspool.h>

#include <memory>
#include <vector>

namespace {

QString quoted(const QString& name)
{
    return QStringLiteral("\u00ab%1\u00bb").arg(name);
}

struct PrinterCloser {
    void operator()(HANDLE printer) const { ClosePrinter(printer); }
};
using PrinterHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, PrinterCloser>;

PrinterHandle openPrinter(const QString& name)
{
    HANDLE handle = nullptr;
    QString copy = name;
    if (!OpenPrinterW(reinterpret_cast<wchar_t*>(copy.data()), &handle, nullptr))
        return {};
    return PrinterHandle(handle);
}

// What the spooler says of a printer before a job is sent: empty when it takes jobs.
QString printerRefusal(HANDLE printer, const QString& name)
{
    DWORD needed = 0;
    GetPrinterW(printer, 2, nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<BYTE> buffer(needed);
    if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed))
        return {};
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    if (info->Attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE || info->Status & PRINTER_STATUS_OFFLINE)
        return QStringLiteral("la stampante %1 \u00e8 impostata come non in linea").arg(quoted(name));
    if (info->Status & PRINTER_STATUS_PAUSED)
        return QStringLiteral("la stampante %1 \u00e8 in pausa").arg(quoted(name));
    if (info->Status & PRINTER_STATUS_PENDING_DELETION)
        return QStringLiteral("la stampante %1 sta per essere rimossa").arg(quoted(name));
    if (info->Status & (PRINTER_STATUS_ERROR | PRINTER_STATUS_NOT_AVAILABLE))
        return QStringLiteral("la stampante %1 segnala un errore").arg(quoted(name));
    return {};
}

// The newest job of this document in the printer's queue: its id and status, or id 0 when the queue
// holds none (printed already, or taken by the printer).
struct QueuedJob {
    DWORD id = 0;
    DWORD status = 0;
};

QueuedJob newestJob(HANDLE printer, const QString& document)
{
    DWORD needed = 0;
    DWORD count = 0;
    EnumJobsW(printer, 0, 0xFFFF, 1, nullptr, 0, &needed, &count);
    QueuedJob found;
    if (needed == 0)
        return found;
    std::vector<BYTE> buffer(needed);
    if (!EnumJobsW(printer, 0, 0xFFFF, 1, buffer.data(), needed, &needed, &count))
        return found;
    const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (jobs[i].pDocument && QString::fromWCharArray(jobs[i].pDocument) == document &&
            jobs[i].JobId > found.id)
            found = {jobs[i].JobId, jobs[i].Status};
    }
    return found;
}

const QString DocumentName = QStringLiteral("Bollettino");

} // namespace

WindowsPrinter::WindowsPrinter(SaveFileDialog& dialog) : m_dialog(dialog)
{
}

PrintOutcome WindowsPrinter::printDocument(const DocumentComposer& document, const PrintTarget& target)
{
    const QString wanted = target.printerName.trimmed();
    const QPrinterInfo info =
        wanted.isEmpty() ? QPrinterInfo::defaultPrinter() : QPrinterInfo::printerInfo(wanted);
    if (info.isNull()) {
        if (wanted.isEmpty())
            return {PrintOutcome::NoPrinter, {}};
        return {PrintOutcome::Failed,
                QStringLiteral("la stampante %1 non \u00e8 disponibile").arg(quoted(wanted))};
    }
    const QString name = info.printerName();
    const PrinterHandle spooler = openPrinter(name);
    if (!spooler)
        return {PrintOutcome::Failed,
                QStringLiteral("il sistema non lascia usare la stampante %1 (errore %2)")
                    .arg(quoted(name))
                    .arg(GetLastError())};
    if (const QString refusal = printerRefusal(spooler.get(), name); !refusal.isEmpty())
        return {PrintOutcome::Failed, refusal};

    const QueuedJob before = newestJob(spooler.get(), DocumentName);
    {
        QPrinter printer(info, QPrinter::HighResolution);
        printer.setDocName(DocumentName);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setCopyCount(qMax(1, target.copies));
        // The slip is drawn from the top-left corner of the printer's printable area, at its real size.
        printer.setFullPage(false);
        if (!printer.isValid())
            return {PrintOutcome::Failed,
                    QStringLiteral("la stampante %1 non \u00e8 utilizzabile").arg(quoted(name))};
        PainterSurface surface(printer, [&printer] { printer.abort(); });
        if (const Failure failure = ComposeDocument(surface, document))
            return {failure.kind() == Failure::Kind::Cancelled ? PrintOutcome::Cancelled
                                                               : PrintOutcome::Failed,
                    failure.text()};
        if (printer.printerState() == QPrinter::Error)
            return {PrintOutcome::Failed,
                    QStringLiteral("la stampante %1 ha rifiutato il lavoro").arg(quoted(name))};
    }

    // Handed to the spooler. Follow it in the queue for a while: an error there, or a printer that
    // went offline or ran out of paper, is told.
    const QDeadlineTimer deadline(m_followTime);
    for (;;) {
        const QueuedJob job = newestJob(spooler.get(), DocumentName);
        if (job.id == 0 || job.id == before.id)
            return {PrintOutcome::Done, {}};
        if (job.status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED))
            return {PrintOutcome::Failed,
                    QStringLiteral("il lavoro \u00e8 stato annullato sulla stampante %1").arg(quoted(name))};
        if (job.status & JOB_STATUS_PAPEROUT)
            return {PrintOutcome::Waiting,
                    QStringLiteral("la stampante %1 \u00e8 senza carta e il lavoro attende nella sua coda")
                        .arg(quoted(name))};
        if (job.status & (JOB_STATUS_OFFLINE | JOB_STATUS_PAUSED | JOB_STATUS_BLOCKED_DEVQ))
            return {PrintOutcome::Waiting,
                    QStringLiteral("la stampante %1 \u00e8 ferma e il lavoro attende nella sua coda")
                        .arg(quoted(name))};
        if (job.status & (JOB_STATUS_ERROR | JOB_STATUS_USER_INTERVENTION))
            return {PrintOutcome::Failed,
                    QStringLiteral("la stampante %1 segnala un errore sul lavoro").arg(quoted(name))};
        if (job.status & (JOB_STATUS_PRINTING | JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE) ||
            deadline.hasExpired())
            return {PrintOutcome::Done, {}};
        QThread::msleep(
            static_cast<unsigned long>(qMin<qint64>(100, qMax<qint64>(1, deadline.remainingTime()))));
    }
}

PrintOutcome WindowsPrinter::savePageAsPdf(const PageComposer& compose)
{
    return savePdfAsked(m_dialog, compose);
}
