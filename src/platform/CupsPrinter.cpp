// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/CupsPrinter.h"

#include "platform/CupsLibrary.h"

#include "core/print/PainterSurface.h"
#include "platform/SaveFileDialog.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPrinter>
#include <QThread>
#include <QTimer>

#include <memory>
#include <optional>
#include <utility>

namespace {

// The library, once printDocument has made sure that it loads.
const CupsLibrary& cups()
{
    QString unused;
    return *loadCupsLibrary(unused);
}

struct DestinationDeleter {
    void operator()(cups_dest_t* destination) const { cups().cupsFreeDests(1, destination); }
};
struct InfoDeleter {
    void operator()(cups_dinfo_t* info) const { cups().cupsFreeDestInfo(info); }
};
struct ConnectionDeleter {
    void operator()(http_t* connection) const { cups().httpClose(connection); }
};
struct IppDeleter {
    void operator()(ipp_t* message) const { cups().ippDelete(message); }
};
using Destination = std::unique_ptr<cups_dest_t, DestinationDeleter>;
using DestinationInfo = std::unique_ptr<cups_dinfo_t, InfoDeleter>;
using Connection = std::unique_ptr<http_t, ConnectionDeleter>;
using IppMessage = std::unique_ptr<ipp_t, IppDeleter>;

// Options handed to CUPS, freed with it.
class JobOptions
{
public:
    JobOptions() = default;
    JobOptions(const JobOptions&) = delete;
    JobOptions& operator=(const JobOptions&) = delete;
    ~JobOptions() { cups().cupsFreeOptions(m_count, m_options); }
    void add(const char* name, const QByteArray& value)
    {
        m_count = cups().cupsAddOption(name, value.constData(), m_count, &m_options);
    }
    int count() const { return m_count; }
    cups_option_t* options() const { return m_options; }

private:
    int m_count = 0;
    cups_option_t* m_options = nullptr;
};

QString quoted(const QString& name)
{
    return QStringLiteral("\u00ab%1\u00bb").arg(name);
}

QString unreachableText()
{
    return QStringLiteral("il servizio di stampa (CUPS) non risponde");
}

bool isUnreachable(ipp_status_t status)
{
    return status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE || status == IPP_STATUS_ERROR_DEVICE;
}

// What the queue itself says of its state (the reason given to cupsreject or cupsdisable, a
// driver's message), asked of CUPS, as ": «reason»", or nothing.
QString stateMessageOf(http_t* connection, const cups_dest_t* destination)
{
    if (!connection || !destination)
        return {};
    char uri[1024] = {};
    cups().httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost",
                            cups().ippPort(), "/printers/%s", destination->name);
    IppMessage request(cups().ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES));
    cups().ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    cups().ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                        "printer-state-message");
    // cupsDoRequest frees the request.
    const IppMessage response(cups().cupsDoRequest(connection, request.release(), "/"));
    ipp_attribute_t* message =
        response ? cups().ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT) : nullptr;
    const QString text =
        message ? QString::fromUtf8(cups().ippGetString(message, 0, nullptr)).trimmed() : QString();
    return text.isEmpty() ? QString() : QStringLiteral(": \u00ab%1\u00bb").arg(text);
}

// The queue named by LPDEST or PRINTER, as CUPS reads them for the default destination ("lp" in
// PRINTER names none), with the variable's name; empty when neither names one.
std::pair<QString, QString> printerOfEnvironment()
{
    if (const QString lpdest = qEnvironmentVariable("LPDEST"); !lpdest.isEmpty())
        return {QStringLiteral("LPDEST"), lpdest};
    if (const QString printer = qEnvironmentVariable("PRINTER"); !printer.isEmpty() && printer != u"lp")
        return {QStringLiteral("PRINTER"), printer};
    return {};
}

// What an IPP status that is not a success means for the job on that printer, with what the
// queue says of itself when it refuses.
QString refusalText(ipp_status_t status, const QString& printer, http_t* connection = nullptr,
                    const cups_dest_t* destination = nullptr)
{
    switch (status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return QStringLiteral("la stampante %1 in questo momento non accetta lavori%2")
            .arg(quoted(printer), stateMessageOf(connection, destination));
    case IPP_STATUS_ERROR_NOT_FOUND:
        return QStringLiteral("la stampante %1 non esiste").arg(quoted(printer));
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
        return QStringLiteral("non hai il permesso di stampare su %1").arg(quoted(printer));
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
    case IPP_STATUS_ERROR_DEVICE:
        return unreachableText();
    default:
        return QStringLiteral("la stampante %1 ha rifiutato il lavoro (%2)")
            .arg(quoted(printer), QString::fromUtf8(cups().cupsLastErrorString()));
    }
}

bool failedStatus(ipp_status_t status)
{
    return status > IPP_STATUS_OK_CONFLICTING;
}

// The border CUPS gives for A4 on the destination (or for its default paper), turned onto the
// landscape page. IPP lays landscape pages on the sheet turned a quarter anticlockwise: the
// page's top runs along the sheet's left edge, its left along the sheet's bottom.
SheetMargins landscapeMargins(http_t* connection, cups_dest_t* destination, cups_dinfo_t* info)
{
    cups_size_t size{};
    const bool known =
        cups().cupsGetDestMediaByName(connection, destination, info, CUPS_MEDIA_A4, CUPS_MEDIA_FLAGS_DEFAULT,
                                      &size) ||
        cups().cupsGetDestMediaDefault(connection, destination, info, CUPS_MEDIA_FLAGS_DEFAULT, &size);
    if (!known)
        return TypicalPrinterMargins;
    // CUPS counts hundredths of a millimetre.
    return {size.bottom / 100.0, size.left / 100.0, size.top / 100.0, size.right / 100.0};
}

// Lets the windows repaint (never take clicks or keys) for about the given time.
void pause(int milliseconds)
{
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(milliseconds));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

struct JobState {
    ipp_jstate_t state = IPP_JSTATE_PENDING;
    bool printerStopped = false;
    bool known = false;
};

JobState jobState(http_t* connection, const char* printerUri, int jobId)
{
    IppMessage request(cups().ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES));
    cups().ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri);
    cups().ippAddInteger(request.get(), IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    cups().ippAddString(request.get(), IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                        cups().cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons"};
    cups().ippAddStrings(request.get(), IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2,
                         nullptr, wanted);
    // cupsDoRequest frees the request.
    const IppMessage response(cups().cupsDoRequest(connection, request.release(), "/"));
    JobState result;
    if (!response || failedStatus(cups().cupsLastError()))
        return result;
    if (ipp_attribute_t* state = cups().ippFindAttribute(response.get(), "job-state", IPP_TAG_ENUM)) {
        result.state = static_cast<ipp_jstate_t>(cups().ippGetInteger(state, 0));
        result.known = true;
    }
    if (ipp_attribute_t* reasons =
            cups().ippFindAttribute(response.get(), "job-state-reasons", IPP_TAG_KEYWORD))
        result.printerStopped = cups().ippContainsString(reasons, "printer-stopped") != 0;
    return result;
}

bool printerStopped(http_t* connection, const QByteArray& name, const QByteArray& instance)
{
    const Destination fresh(cups().cupsGetNamedDest(connection, name.constData(),
                                                    instance.isEmpty() ? nullptr : instance.constData()));
    if (!fresh)
        return false;
    const char* state = cups().cupsGetOption("printer-state", fresh->num_options, fresh->options);
    return state && qstrcmp(state, "5") == 0;
}

// Why the destination CUPS was asked for could not be had; name is empty for the default one.
PrintOutcome destinationMissing(const QByteArray& name, const QString& wanted)
{
    const ipp_status_t status = cups().cupsLastError();
    if (isUnreachable(status))
        return {name.isEmpty() ? PrintOutcome::NoPrinter : PrintOutcome::Failed, unreachableText()};
    if (name.isEmpty()) {
        // No default to print on, and the reason when the environment names a queue CUPS does not
        // know: the user mends that variable, not the printer settings.
        const auto [variable, named] = printerOfEnvironment();
        if (!named.isEmpty())
            return {PrintOutcome::NoPrinter,
                    QStringLiteral("la stampante %1 indicata da %2 non esiste").arg(quoted(named), variable)};
        return {PrintOutcome::NoPrinter, {}};
    }
    return {PrintOutcome::Failed,
            QStringLiteral("la stampante %1 non \u00e8 disponibile").arg(quoted(wanted))};
}

// The job's options: the copies, the page at its real size on A4, then the user's own settings for
// the queue or its instance (lpoptions), as lp applies them.
void addJobOptions(JobOptions& options, http_t* connection, cups_dest_t* destination, cups_dinfo_t* info,
                   int copies)
{
    options.add(CUPS_COPIES, QByteArray::number(qMax(1, copies)));
    // The page is drawn to its real size: the slip must not be shrunk onto the printable area.
    options.add("print-scaling", "none");
    if (cups().cupsCheckDestSupported(connection, destination, info, CUPS_MEDIA, CUPS_MEDIA_A4))
        options.add(CUPS_MEDIA, CUPS_MEDIA_A4);
    // The printer's description that comes with the user's settings is no job option.
    for (int i = 0; i < destination->num_options; ++i) {
        const cups_option_t& option = destination->options[i];
        const QByteArray optionName(option.name);
        if (optionName.startsWith("printer-") || optionName.startsWith("marker-") ||
            optionName == "device-uri" ||
            cups().cupsGetOption(option.name, options.count(), options.options()))
            continue;
        options.add(option.name, QByteArray(option.value));
    }
}

// Creates the job and sends the PDF; the failure, the job cancelled, when CUPS refuses either.
std::optional<PrintOutcome> sendJob(http_t* connection, cups_dest_t* destination, cups_dinfo_t* info,
                                    const QString& printer, const QByteArray& pdf, const JobOptions& options,
                                    int& jobId)
{
    jobId = 0;
    ipp_status_t status = cups().cupsCreateDestJob(connection, destination, info, &jobId, "Bollettino",
                                                   options.count(), options.options());
    if (failedStatus(status) || jobId <= 0)
        return PrintOutcome{PrintOutcome::Failed,
                            refusalText(failedStatus(status) ? status : cups().cupsLastError(), printer,
                                        connection, destination)};
    const auto abandon = [&](ipp_status_t why) -> PrintOutcome {
        const QString reason = refusalText(why, printer, connection, destination);
        cups().cupsCancelDestJob(connection, destination, jobId);
        return {PrintOutcome::Failed, reason};
    };
    if (cups().cupsStartDestDocument(connection, destination, info, jobId, "bollettino.pdf", CUPS_FORMAT_PDF,
                                     0, nullptr, 1) != HTTP_STATUS_CONTINUE)
        return abandon(cups().cupsLastError());
    if (cups().cupsWriteRequestData(connection, pdf.constData(), static_cast<size_t>(pdf.size())) !=
        HTTP_STATUS_CONTINUE) {
        cups().cupsFinishDestDocument(connection, destination, info);
        return abandon(cups().cupsLastError());
    }
    status = cups().cupsFinishDestDocument(connection, destination, info);
    if (failedStatus(status))
        return abandon(status);
    return std::nullopt;
}

// What the user learns of a job CUPS accepted, from its last state; stopped: it waits on a stopped
// printer.
PrintOutcome outcomeOfJob(const JobState& job, bool stopped, const QString& printer, http_t* connection,
                          cups_dest_t* destination)
{
    switch (job.state) {
    case IPP_JSTATE_COMPLETED:
    case IPP_JSTATE_PROCESSING:
        return {PrintOutcome::Done, {}};
    case IPP_JSTATE_CANCELED:
        return {PrintOutcome::Failed,
                QStringLiteral("il lavoro \u00e8 stato annullato sulla stampante %1").arg(quoted(printer))};
    case IPP_JSTATE_ABORTED:
        return {PrintOutcome::Failed,
                QStringLiteral("la stampante %1 ha interrotto il lavoro").arg(quoted(printer))};
    case IPP_JSTATE_HELD:
        return {PrintOutcome::Waiting,
                QStringLiteral("il lavoro \u00e8 trattenuto nella coda di %1").arg(quoted(printer))};
    case IPP_JSTATE_STOPPED:
        return {PrintOutcome::Waiting,
                QStringLiteral("la stampante %1 si \u00e8 fermata e il lavoro attende nella sua coda")
                    .arg(quoted(printer))};
    case IPP_JSTATE_PENDING:
        break;
    }
    // Still pending: on a stopped printer, or behind other jobs on a working one.
    if (stopped)
        return {PrintOutcome::Waiting,
                QStringLiteral("la stampante %1 \u00e8 ferma%2 e il lavoro attende nella sua coda")
                    .arg(quoted(printer), stateMessageOf(connection, destination))};
    return {PrintOutcome::Done, {}};
}

// Follows an accepted job for up to followTime milliseconds: CUPS may still refuse, cancel or abort
// it, or keep it waiting on a stopped printer.
PrintOutcome followJob(http_t* connection, cups_dest_t* destination, const QByteArray& instance,
                       const QString& printer, int jobId, int followTime)
{
    const char* uri =
        cups().cupsGetOption("printer-uri-supported", destination->num_options, destination->options);
    char assembled[1024] = {};
    if (!uri) {
        cups().httpAssembleURIf(HTTP_URI_CODING_ALL, assembled, sizeof assembled, "ipp", nullptr, "localhost",
                                cups().ippPort(), "/printers/%s", destination->name);
        uri = assembled;
    }
    const QDeadlineTimer deadline(followTime);
    JobState job;
    bool stopped = false;
    for (;;) {
        job = jobState(connection, uri, jobId);
        if (!job.known && isUnreachable(cups().cupsLastError()))
            return {
                PrintOutcome::Failed,
                QStringLiteral("il servizio di stampa (CUPS) ha smesso di rispondere dopo aver ricevuto il "
                               "lavoro: controlla la coda di %1")
                    .arg(quoted(printer))};
        // A held job, or one waiting for a stopped printer, waits for as long as that lasts.
        if (job.state == IPP_JSTATE_PENDING)
            stopped = job.printerStopped || printerStopped(connection, destination->name, instance);
        if (job.state >= IPP_JSTATE_CANCELED || job.state == IPP_JSTATE_HELD || stopped ||
            deadline.hasExpired())
            break;
        pause(static_cast<int>(qMin<qint64>(100, qMax<qint64>(1, deadline.remainingTime()))));
    }
    return outcomeOfJob(job, stopped, printer, connection, destination);
}

} // namespace

CupsPrinter::CupsPrinter(SaveFileDialog& dialog) : m_dialog(dialog)
{
}

PrintOutcome CupsPrinter::printDocument(const DocumentComposer& document, const PrintTarget& target)
{
    QString libraryError;
    if (!loadCupsLibrary(libraryError))
        return {PrintOutcome::Failed, libraryError};
    // CUPS keeps the server it first found for the life of the process: read it anew, as the
    // lpr command would (CUPS_SERVER, client.conf).
    cups().cupsSetServer(nullptr);
    // The scheduler as lpr finds it: a local socket or a server, from CUPS_SERVER or client.conf.
    const Connection connection(cups().httpConnect2(cups().cupsServer(), cups().ippPort(), nullptr, AF_UNSPEC,
                                                    cups().cupsEncryption(), 1, 5000, nullptr));
    // The destination as CUPS resolves it (a name may carry an instance after a slash), the
    // default one from LPDEST, PRINTER, lpoptions or the server's default.
    const QString wanted = target.printerName.trimmed();
    const QByteArray name = wanted.section(u'/', 0, 0).toUtf8();
    const QByteArray instance = wanted.section(u'/', 1).toUtf8();
    if (!connection) {
        // Without CUPS there is no default printer either; the user learns why.
        return {name.isEmpty() ? PrintOutcome::NoPrinter : PrintOutcome::Failed, unreachableText()};
    }
    const Destination destination(
        cups().cupsGetNamedDest(connection.get(), name.isEmpty() ? nullptr : name.constData(),
                                instance.isEmpty() ? nullptr : instance.constData()));
    if (!destination)
        return destinationMissing(name, wanted);
    const QString printer = QString::fromUtf8(destination->name);

    const DestinationInfo info(cups().cupsCopyDestInfo(connection.get(), destination.get()));
    if (!info)
        return {PrintOutcome::Failed, refusalText(cups().cupsLastError(), printer)};

    // The whole document first: one that cannot be completed is never sent.
    const SheetMargins margins = landscapeMargins(connection.get(), destination.get(), info.get());
    QByteArray pdf;
    if (const Failure failure = DocumentPdf(document, margins, pdf))
        return {failure.kind() == Failure::Kind::Cancelled ? PrintOutcome::Cancelled : PrintOutcome::Failed,
                failure.text()};
    if (m_observer)
        m_observer(pdf, margins);

    JobOptions options;
    addJobOptions(options, connection.get(), destination.get(), info.get(), target.copies);
    int jobId = 0;
    if (const std::optional<PrintOutcome> refused =
            sendJob(connection.get(), destination.get(), info.get(), printer, pdf, options, jobId))
        return *refused;
    return followJob(connection.get(), destination.get(), instance, printer, jobId, m_followTime);
}

PrintOutcome CupsPrinter::savePageAsPdf(const PageComposer& compose)
{
    return savePdfAsked(m_dialog, compose);
}
