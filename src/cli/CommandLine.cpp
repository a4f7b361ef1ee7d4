#include "cli/CommandLine.h"

#include "core/archive/SlipArchive.h"
#include "core/print/Overflow.h"
#include "core/sheet/SheetPrint.h"
#include "core/sheet/SlipSheet.h"
#include "core/slip/Clock.h"
#include "platform/Printer.h"

#include <QDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

bool isOurs(const QString& argument)
{
    return argument == u"--stampa" || argument == u"--pdf" || argument == u"--importa" ||
           argument == u"--help" || argument == u"-h" || argument == u"--aiuto";
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Writes the read's problems and ignored columns; returns the good rows' count.
void reportRead(const SheetImport& import, QTextStream& err)
{
    if (const QString ignored = ignoredColumnsText(import); !ignored.isEmpty())
        err << ignored << '\n';
    for (const SheetProblem& problem : import.problems)
        err << problemText(problem) << '\n';
}

QString slipSummary(const SheetSlip& slip)
{
    QString summary = slip.fields[PayerName];
    if (!slip.fields[Amount].isEmpty())
        summary += (summary.isEmpty() ? u""_s : u", "_s) + slip.fields[Amount] + u" euro"_s;
    return summary.isEmpty() ? QString() : u" (%1)"_s.arg(summary);
}

int runImport(const SheetImport& import, const CommandLineWorld& world, QTextStream& err)
{
    const QDate today = world.clock ? world.clock->today() : QDate::currentDate();
    QString error;
    QByteArray records;
    if (!encodeSheetSlips(import.slips, today, world.locale, records, error)) {
        err << error << '\n';
        return ExitSomeRowsNotDone;
    }
    const QString path = world.archivePath ? world.archivePath() : QString();
    if (!import.slips.isEmpty() &&
        SlipArchive(path).append(records, error) != SlipArchive::WriteResult::Written) {
        err << error << '\n' << u"Nessun bollettino è stato aggiunto all'archivio."_s << '\n';
        return ExitSomeRowsNotDone;
    }
    for (const SheetSlip& slip : import.slips)
        err << u"Riga %1: aggiunto all'archivio%2."_s.arg(slip.row).arg(slipSummary(slip)) << '\n';
    err << u"Bollettini aggiunti all'archivio %1: %2; righe scartate: %3."_s.arg(native(path))
               .arg(import.slips.size())
               .arg(import.refusedRows)
        << '\n';
    return import.refusedRows == 0 ? ExitAllDone : ExitSomeRowsNotDone;
}

// Prints the good rows as one job, or saves them as one PDF file when pdfPath is given.
int runPrint(const SheetImport& import, const QString& pdfPath, const CommandLineWorld& world,
             QTextStream& err)
{
    const SheetPages pages = printableSlips(import.slips);
    for (const SheetProblem& problem : pages.skipped)
        err << problemText(problem) << '\n';
    const OverflowFinder finder;
    for (const QString& warning : sheetOverflowWarnings(pages.slips, finder))
        err << u"Attenzione, testo troppo lungo: "_s << warning << '\n';
    const bool allRows = import.refusedRows == 0 && pages.skipped.isEmpty();
    if (pages.slips.isEmpty()) {
        err << u"Nessun bollettino da stampare."_s << '\n';
        return ExitSomeRowsNotDone;
    }

    const DocumentComposer document = sheetDocument(pages.slips, sheetEuroMark());
    QString done;
    if (pdfPath.isEmpty()) {
        if (!world.printer) {
            err << u"Nessuna stampante disponibile: nessun bollettino è stato stampato."_s << '\n';
            return ExitSomeRowsNotDone;
        }
        const PrintOutcome outcome = world.printer->printDocument(document, PrintTarget{});
        switch (outcome.status) {
        case PrintOutcome::Done:
            done = u"stampato"_s;
            break;
        case PrintOutcome::NoPrinter:
            err << u"Non c'è una stampante predefinita: nessun bollettino è stato stampato."_s << '\n';
            return ExitSomeRowsNotDone;
        case PrintOutcome::Waiting:
            // Accepted, but not printed yet: a script must not take it as done.
            err << u"Il lavoro è in coda ma la stampante non stampa: %1."_s.arg(outcome.errorText) << '\n';
            return ExitSomeRowsNotDone;
        case PrintOutcome::Cancelled:
        case PrintOutcome::Failed:
            err << u"La stampa non è riuscita: %1.\nNessun bollettino è stato stampato."_s.arg(
                       outcome.errorText)
                << '\n';
            return ExitSomeRowsNotDone;
        }
    } else {
        QString error;
        if (!saveSheetPdf(pdfPath, document, error)) {
            err << u"Il file PDF non è stato salvato: %1."_s.arg(error) << '\n';
            return ExitSomeRowsNotDone;
        }
        done = u"nel PDF, pagina %1"_s;
    }
    for (qsizetype i = 0; i < pages.slips.size(); ++i) {
        const SheetSlip& slip = pages.slips[i];
        err << u"Riga %1: %2%3."_s.arg(slip.row).arg(done.contains(u"%1") ? done.arg(i + 1) : done,
                                                     slipSummary(slip))
            << '\n';
    }
    if (pdfPath.isEmpty())
        err << u"Bollettini stampati in un solo lavoro: %1."_s.arg(pages.slips.size()) << '\n';
    else
        err << u"Bollettini salvati in %1: %2."_s.arg(native(pdfPath)).arg(pages.slips.size()) << '\n';
    return allRows ? ExitAllDone : ExitSomeRowsNotDone;
}

} // namespace

CommandLineRequest parseCommandLine(const QStringList& arguments)
{
    CommandLineRequest request;
    bool any = false;
    for (const QString& argument : arguments)
        any = any || isOurs(argument);
    if (!any)
        return request;

    auto invalid = [&request](const QString& error) {
        request.action = CommandLineRequest::Invalid;
        request.error = error;
        return request;
    };
    const QString& option = arguments.value(0);
    if (option == u"--help" || option == u"-h" || option == u"--aiuto") {
        request.action = CommandLineRequest::Help;
        return request;
    }
    if (option == u"--stampa" || option == u"--importa") {
        if (arguments.size() != 2 || arguments[1].isEmpty() || arguments[1].startsWith(u"--"))
            return invalid(u"%1 vuole un solo argomento, il file CSV."_s.arg(option));
        request.action = option == u"--stampa" ? CommandLineRequest::Print : CommandLineRequest::Import;
        request.csvPath = arguments[1];
        return request;
    }
    if (option == u"--pdf") {
        if (arguments.size() != 3 || arguments[1].isEmpty() || arguments[2].isEmpty() ||
            arguments[1].startsWith(u"--") || arguments[2].startsWith(u"--"))
            return invalid(u"--pdf vuole due argomenti, il file PDF da scrivere e il file CSV."_s);
        request.action = CommandLineRequest::Pdf;
        request.pdfPath = arguments[1];
        request.csvPath = arguments[2];
        return request;
    }
    return invalid(u"Argomento sconosciuto: %1."_s.arg(option));
}

QString commandLineHelp()
{
    return u"Uso: cedolario [OPZIONE]\n"
           u"Senza opzioni apre il modulo del bollettino e la tavolozza dei comandi.\n"
           u"\n"
           u"  --stampa FILE.csv         stampa i bollettini del file sulla stampante predefinita,\n"
           u"                            una pagina per bollettino, in un solo lavoro\n"
           u"  --pdf USCITA.pdf FILE.csv salva i bollettini del file in un solo PDF, una pagina\n"
           u"                            per bollettino\n"
           u"  --importa FILE.csv        aggiunge i bollettini del file all'archivio, tutti insieme\n"
           u"  --help                    mostra questo aiuto\n"
           u"\n"
           u"La prima riga del file nomina le colonne (Nome, Indirizzo, CAP, Città, Importo,\n"
           u"Intestato 1, Intestato 2, Intestato 3, Conto, Causale, TD, Modello, Stampa indic., Data);\n"
           u"separatore \";\" o \",\", testo UTF-8 o Windows-1252. Ogni riga segue le regole del\n"
           u"modulo: le righe non valide sono segnalate e saltate, le altre sono eseguite.\n"
           u"\n"
           u"Stato di uscita: 0 se ogni riga è stata eseguita, 1 se qualche riga non lo è stata,\n"
           u"2 se il comando o il file non sono utilizzabili.\n"_s;
}

int runCommandLine(const CommandLineRequest& request, const CommandLineWorld& world)
{
    QTextStream& err = *world.err;
    switch (request.action) {
    case CommandLineRequest::StartWindows:
        return ExitAllDone;
    case CommandLineRequest::Help:
        *world.out << commandLineHelp();
        world.out->flush();
        return ExitAllDone;
    case CommandLineRequest::Invalid:
        err << request.error << '\n' << u"Per l'aiuto: cedolario --help"_s << '\n';
        err.flush();
        return ExitUsage;
    case CommandLineRequest::Print:
    case CommandLineRequest::Pdf:
    case CommandLineRequest::Import:
        break;
    }

    const SheetImport import = readSlipSheetFile(request.csvPath);
    if (!import.read) {
        err << import.error << '\n';
        err.flush();
        return ExitUsage;
    }
    reportRead(import, err);
    int status = ExitUsage;
    switch (request.action) {
    case CommandLineRequest::Import:
        status = runImport(import, world, err);
        break;
    case CommandLineRequest::Print:
        status = runPrint(import, QString(), world, err);
        break;
    case CommandLineRequest::Pdf:
        status = runPrint(import, request.pdfPath, world, err);
        break;
    default:
        break;
    }
    err.flush();
    return status;
}
