// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/CommandLine.h"

#include "core/Version.h"
#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/print/Overflow.h"
#include "core/print/PrintPage.h"
#include "core/sheet/SheetPrint.h"
#include "core/sheet/SlipSheet.h"
#include "core/slip/Clock.h"
#include "core/workbook/RecordSheets.h"
#include "core/workbook/SheetFile.h"
#include "core/workbook/SheetWorkflow.h"
#include "platform/Printer.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

int runImport(const SheetBatch& batch, bool alsoStored, const CommandLineWorld& world, QTextStream& err)
{
    const SheetImport& import = batch.import;
    const QDate today = world.clock ? world.clock->today() : QDate::currentDate();
    const QString path = world.archivePath ? world.archivePath() : QString();
    // The slips the archive holds already are left out, unless asked for: the same sheet imported
    // twice would store every slip twice.
    // A slip almost like a stored one is added all the same, and said.
    const QList<SheetSlip> slips = batch.slipsToStore(alsoStored, true);
    for (const SimilarSlip& similar : batch.similar)
        err << similarText(similar, import.slips) << u": aggiunto lo stesso."_s << '\n';
    const qsizetype skipped = alsoStored ? 0 : batch.alreadyHeld.size();
    if (!alsoStored) {
        for (const qsizetype index : batch.alreadyHeld)
            err << u"Riga %1: già nell'archivio, saltata%2."_s.arg(QString::number(import.slips[index].row),
                                                                   slipSummary(import.slips[index]))
                << '\n';
    }
    QByteArray records;
    if (const Failure failure = encodeSheetSlips(slips, today, world.locale, records)) {
        err << failure.text() << '\n';
        return ExitSomeRowsNotDone;
    }
    if (const Failure failure = slips.isEmpty() ? Failure() : SlipArchive(path).append(records)) {
        err << failure.text() << '\n' << NoSlipAddedText() << '\n';
        return ExitSomeRowsNotDone;
    }
    for (const SheetSlip& slip : slips)
        err << u"Riga %1: aggiunto all'archivio%2."_s.arg(QString::number(slip.row), slipSummary(slip))
            << '\n';
    QString summary = u"Bollettini aggiunti all'archivio %1: %2; righe scartate: %3"_s.arg(
        native(path), QString::number(slips.size()), QString::number(import.refusedRows));
    if (skipped > 0)
        summary +=
            u"; già presenti, saltati: %1 (--anche-presenti li aggiunge)"_s.arg(QString::number(skipped));
    if (!import.hiddenRows.isEmpty())
        summary += u"; righe nascoste, saltate: %1 (--anche-nascoste le legge)"_s.arg(
            QString::number(import.hiddenRows.size()));
    if (!import.totalRows.isEmpty())
        summary += u"; righe di totale, saltate: %1"_s.arg(QString::number(import.totalRows.size()));
    err << summary << u".\n"_s;
    return import.refusedRows == 0 ? ExitAllDone : ExitSomeRowsNotDone;
}

// Prints the good rows as one job, or saves them as one PDF file when pdfPath is given.
int runPrint(const SheetBatch& batch, const QString& pdfPath, const CommandLineWorld& world, QTextStream& err)
{
    const SheetPages pages = batch.printable();
    for (const SheetProblem& problem : pages.skipped)
        err << problemText(problem) << '\n';
    for (const QString& warning : batch.overflowWarnings)
        err << u"Attenzione, testo troppo lungo: "_s << warning << '\n';
    const bool allRows = batch.import.refusedRows == 0 && pages.skipped.isEmpty();
    if (pages.slips.isEmpty()) {
        err << u"Nessun bollettino da stampare."_s << '\n';
        return ExitSomeRowsNotDone;
    }

    const DocumentComposer document = sheetDocument(pages.slips, sheetEuroMark());
    if (pdfPath.isEmpty()) {
        if (!world.printer) {
            err << u"Nessuna stampante disponibile: nessun bollettino è stato stampato."_s << '\n';
            return ExitSomeRowsNotDone;
        }
        const PrintOutcome outcome = world.printer->printDocument(document, PrintTarget{});
        switch (outcome.status) {
        case PrintOutcome::Done:
            break;
        case PrintOutcome::NoPrinter:
            err << NoPrinterMessage(outcome.errorText, PrintedSlips::Several) << '\n';
            return ExitSomeRowsNotDone;
        case PrintOutcome::Waiting:
            // Accepted, but not printed yet: a script must not take it as done.
            err << u"Il lavoro è in coda ma la stampante non stampa: %1."_s.arg(outcome.errorText) << '\n';
            return ExitSomeRowsNotDone;
        case PrintOutcome::Cancelled:
        case PrintOutcome::Failed:
            err << PrintFailedMessage(outcome.errorText, PrintedSlips::Several) << '\n';
            return ExitSomeRowsNotDone;
        }
    } else {
        if (const Failure failure = SaveDocumentPdf(pdfPath, document)) {
            err << PdfNotSavedMessage(failure.text()) << '\n';
            return ExitSomeRowsNotDone;
        }
    }
    for (qsizetype i = 0; i < pages.slips.size(); ++i) {
        const SheetSlip& slip = pages.slips[i];
        const QString done = pdfPath.isEmpty() ? u"stampato"_s : u"nel PDF, pagina %1"_s.arg(i + 1);
        err << u"Riga %1: %2%3."_s.arg(QString::number(slip.row), done, slipSummary(slip)) << '\n';
    }
    if (pdfPath.isEmpty())
        err << u"Bollettini stampati in un solo lavoro: %1."_s.arg(pages.slips.size()) << '\n';
    else
        err << u"Bollettini salvati in %1: %2."_s.arg(native(pdfPath), QString::number(pages.slips.size()))
            << '\n';
    return allRows ? ExitAllDone : ExitSomeRowsNotDone;
}

// Writes the whole archive to path, as a CSV file or a workbook by the name's ending.
int runExport(const QString& path, const CommandLineWorld& world, QTextStream& err)
{
    const QString archivePath = world.archivePath ? world.archivePath() : QString();
    ArchiveTable records;
    if (const Failure failure = SlipArchive(archivePath).load(records)) {
        err << failure.text() << '\n' << u"Il file non è stato esportato."_s << '\n';
        err.flush();
        return ExitSomeRowsNotDone;
    }
    if (const Failure failure = writeRecordsFile(path, records, StoredDateReader(world.locale))) {
        err << NotExportedMessage(failure.text()) << '\n';
        err.flush();
        return ExitSomeRowsNotDone;
    }
    err << u"Bollettini esportati in %1: %2."_s.arg(native(path), QString::number(records.size())) << '\n';
    err.flush();
    return ExitAllDone;
}

} // namespace

namespace {

// Qt's own options, which the application object reads (the platform, the style, X11's display…):
// they are known here so that they never count as mistakes, and Qt takes them from argv. Each with
// whether a value follows it.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption QtOptions[] = {
    {"platform", true},      {"platformpluginpath", true},
    {"platformtheme", true}, {"plugin", true},
    {"qmljsdebugger", true}, {"qwindowgeometry", true},
    {"qwindowicon", true},   {"qwindowtitle", true},
    {"session", true},       {"display", true},
    {"geometry", true},      {"title", true},
    {"name", true},          {"visual", true},
    {"ncols", true},         {"cmap", true},
    {"style", true},         {"stylesheet", true},
    {"fontengine", true},    {"dialogs", true},
    {"reverse", false},      {"widgetcount", false},
    {"nograb", false},       {"dograb", false},
    {"sync", false},         {"testability", false},
};

// The commands of ours, each with the value after its option (the file it reads or writes) and
// how many further arguments it takes.
struct Command {
    const char* option;
    CommandLineRequest::Action action;
    const char* valueName;
    int positional; // arguments after the value
    const char16_t* usage;
};
constexpr Command Commands[] = {
    {"stampa", CommandLineRequest::Print, "FILE.csv", 0, u"--stampa vuole un solo argomento, il file CSV."},
    {"pdf", CommandLineRequest::Pdf, "USCITA.pdf", 1,
     u"--pdf vuole due argomenti, il file PDF da scrivere e il file CSV."},
    {"importa", CommandLineRequest::Import, "FILE.csv", 0,
     u"--importa vuole un solo argomento, il file CSV."},
    {"esporta", CommandLineRequest::Export, "FILE.csv", 0,
     u"--esporta vuole un solo argomento, il file da scrivere (.csv, .xlsx o .ods)."},
};

// The argument as the user typed it whose option name is name ("frobnicate" for "--frobnicate=1").
QString asTyped(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments) {
        QString bare = argument;
        while (bare.startsWith(u'-'))
            bare.remove(0, 1);
        if (bare.section(u'=', 0, 0) == name)
            return argument.section(u'=', 0, 0);
    }
    return u"--"_s + name;
}

bool looksLikeOption(const QString& value)
{
    return value.isEmpty() || value.startsWith(u'-');
}

const QString ValueUsage = u"--valore vuole «Colonna=testo», per esempio --valore \"Conto=12345678\"."_s;
const QString SheetOptionUsage =
    u"--foglio vuole il nome di un foglio e va con --importa, --stampa o --pdf."_s;

// What the parser refused in arguments, as the user typed it.
QString parseFailure(const QCommandLineParser& parser, const QStringList& arguments)
{
    if (!parser.unknownOptionNames().isEmpty())
        return u"Argomento sconosciuto: %1."_s.arg(asTyped(arguments, parser.unknownOptionNames().first()));
    // The only other mistake the parser finds: an option that wants a value came last.
    const QString last = arguments.value(arguments.size() - 1);
    for (const Command& command : Commands) {
        if (asTyped({last}, QString::fromLatin1(command.option)) == last)
            return QString::fromUtf16(command.usage);
    }
    if (asTyped({last}, u"foglio"_s) == last)
        return SheetOptionUsage;
    if (asTyped({last}, u"valore"_s) == last)
        return ValueUsage;
    return u"%1 vuole un valore."_s.arg(last);
}

// The --valore pairs ("Conto=12345678") into request's values; the mistake, or nothing.
QString readMergeValues(const QStringList& pairs, CommandLineRequest& request)
{
    QList<bool> given(SlipFieldCount, false);
    for (const QString& pair : pairs) {
        const qsizetype equals = pair.indexOf(u'=');
        if (equals <= 0)
            return ValueUsage;
        const QString column = pair.left(equals).trimmed();
        const std::optional<int> field = mergeFieldOf(column);
        if (!field)
            return u"--valore: «%1» non è una colonna del bollettino (per esempio Conto, "
                   u"Intestato 1, Causale, Importo)."_s.arg(column);
        if (given[*field])
            return u"--valore dà la colonna «%1» due volte."_s.arg(sheetHeader(*field));
        given[*field] = true;
        request.values[*field] = pair.mid(equals + 1);
    }
    return {};
}

// Each command's option, and the options Qt reads itself ("-platform xcb"), so that they are known.
void addCommandOptions(QCommandLineParser& parser)
{
    for (const Command& command : Commands)
        parser.addOption(QCommandLineOption(QString::fromLatin1(command.option), QString(),
                                            QString::fromLatin1(command.valueName)));
    for (const QtOption& option : QtOptions)
        parser.addOption(option.takesValue
                             ? QCommandLineOption(QString::fromLatin1(option.name), QString(), u"valore"_s)
                             : QCommandLineOption(QString::fromLatin1(option.name)));
}

// The chosen command's file names (and --foglio's sheet) into request; the mistake, or nothing.
QString readCommand(const QCommandLineParser& parser, const QCommandLineOption& sheet, const Command& chosen,
                    CommandLineRequest& request)
{
    if (parser.isSet(sheet)) {
        const QStringList names = parser.values(sheet);
        if (chosen.action == CommandLineRequest::Export || names.size() != 1 || names.first().isEmpty())
            return SheetOptionUsage;
        request.sheetName = names.first();
    }
    const QStringList positional = parser.positionalArguments();
    const QStringList values = parser.values(QString::fromLatin1(chosen.option));
    bool usable =
        values.size() == 1 && !looksLikeOption(values.first()) && positional.size() == chosen.positional;
    for (const QString& argument : positional)
        usable = usable && !looksLikeOption(argument);
    if (!usable)
        return QString::fromUtf16(chosen.usage);
    request.action = chosen.action;
    if (request.action == CommandLineRequest::Pdf) {
        request.pdfPath = values.first();
        request.csvPath = positional.first();
    } else {
        request.csvPath = values.first();
    }
    return {};
}

} // namespace

CommandLineRequest parseCommandLine(const QStringList& arguments)
{
    CommandLineRequest request;
    auto invalid = [&request](const QString& error) {
        request.action = CommandLineRequest::Invalid;
        request.error = error;
        return request;
    };

    QCommandLineParser parser;
    // Qt's options have one dash ("-platform xcb"); ours two. Both spellings are read as words.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{u"help"_s, u"h"_s, u"aiuto"_s});
    const QCommandLineOption version(QStringList{u"version"_s, u"versione"_s});
    const QCommandLineOption alsoStored(u"anche-presenti"_s);
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(alsoStored);
    const QCommandLineOption sheet(u"foglio"_s, QString(), u"NOME"_s);
    parser.addOption(sheet);
    const QCommandLineOption alsoHidden(u"anche-nascoste"_s);
    parser.addOption(alsoHidden);
    const QCommandLineOption value(u"valore"_s, QString(), u"COLONNA=TESTO"_s);
    parser.addOption(value);
    addCommandOptions(parser);

    if (!parser.parse(QStringList{u"cedolario"_s} + arguments))
        return invalid(parseFailure(parser, arguments));
    if (parser.isSet(help)) {
        request.action = CommandLineRequest::Help;
        return request;
    }

    const Command* chosen = nullptr;
    for (const Command& command : Commands) {
        const QString option = QString::fromLatin1(command.option);
        if (!parser.isSet(option))
            continue;
        if (chosen)
            return invalid(u"Un comando alla volta: --%1 e --%2 non vanno insieme."_s.arg(
                QString::fromLatin1(chosen->option), option));
        chosen = &command;
    }
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(version)) {
        if (chosen || !positional.isEmpty())
            return invalid(u"--version non vuole altri argomenti."_s);
        request.action = CommandLineRequest::Version;
        return request;
    }
    if (parser.isSet(alsoStored)) {
        if (!chosen || chosen->action != CommandLineRequest::Import)
            return invalid(u"--anche-presenti vale solo con --importa."_s);
        request.alsoStored = true;
    }
    const bool readsSheet = chosen && chosen->action != CommandLineRequest::Export;
    if (parser.isSet(alsoHidden)) {
        if (!readsSheet)
            return invalid(u"--anche-nascoste va con --importa, --stampa o --pdf."_s);
        request.alsoHidden = true;
    }
    if (parser.isSet(value)) {
        if (!readsSheet)
            return invalid(u"--valore va con --importa, --stampa o --pdf."_s);
        if (const QString mistake = readMergeValues(parser.values(value), request); !mistake.isEmpty())
            return invalid(mistake);
    }
    if (!chosen) {
        if (parser.isSet(sheet))
            return invalid(SheetOptionUsage);
        if (!positional.isEmpty())
            return invalid(u"Argomento inatteso: %1."_s.arg(positional.first()));
        return request;
    }

    if (const QString mistake = readCommand(parser, sheet, *chosen, request); !mistake.isEmpty())
        return invalid(mistake);
    return request;
}

QString versionLine()
{
    return u"cedolario %1.%2"_s.arg(QString::number(VersionMajor), QString::number(VersionMinor));
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
           u"  --importa FILE.csv        aggiunge i bollettini del file all'archivio, tutti insieme;\n"
           u"                            quelli già nell'archivio sono saltati\n"
           u"  --anche-presenti          con --importa, aggiunge anche quelli già nell'archivio\n"
           u"  --foglio NOME             con --stampa, --pdf o --importa: il foglio da leggere di un\n"
           u"                            file .xlsx o .ods (senza, il primo)\n"
           u"  --anche-nascoste          con --stampa, --pdf o --importa: legge anche le righe che il\n"
           u"                            foglio nasconde (righe nascoste o escluse da un filtro)\n"
           u"  --valore \"COLONNA=TESTO\"  con --stampa, --pdf o --importa: il valore di una colonna che\n"
           u"                            il foglio non ha, uguale per ogni riga (per esempio\n"
           u"                            --valore \"Conto=12345678\" --valore \"Causale=Quota 2027\");\n"
           u"                            si può ripetere\n"
           u"  --esporta FILE            scrive l'archivio nel file: .csv, .xlsx o .ods secondo il nome\n"
           u"  --version                 scrive la versione del programma\n"
           u"  --help                    mostra questo aiuto\n"
           u"\n"
           u"Il FILE.csv può essere anche un file .xlsx, .xlsm, .ods o .fods: ogni cella è letta come il\n"
           u"foglio la mostra; le righe nascoste e le righe di totale sono saltate.\n"
           u"L'intestazione è la prima riga, fra le prime venti, che nomina almeno due colonne (Nome,\n"
           u"Cognome, Indirizzo, CAP, Città, Provincia, Importo, Intestato 1, Intestato 2, Intestato 3,\n"
           u"Conto, Causale, TD, Modello, Stampa indic., Data); separatore \";\" o \",\", testo UTF-8 o\n"
           u"Windows-1252. Ogni riga segue le regole del modulo: le righe non valide, e quelle senza\n"
           u"importo o senza conto, sono segnalate e saltate, le altre sono eseguite.\n"
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
    case CommandLineRequest::Version:
        *world.out << versionLine() << '\n';
        world.out->flush();
        return ExitAllDone;
    case CommandLineRequest::Invalid:
        err << request.error << '\n' << u"Per l'aiuto: cedolario --help"_s << '\n';
        err.flush();
        return ExitUsage;
    case CommandLineRequest::Export:
        return runExport(request.csvPath, world, err);
    case CommandLineRequest::Print:
    case CommandLineRequest::Pdf:
    case CommandLineRequest::Import:
        break;
    }

    SheetRequest sheet;
    sheet.path = request.csvPath;
    sheet.sheetName = request.sheetName;
    sheet.merge.values = request.values;
    sheet.merge.source = u"da --valore"_s;
    sheet.merge.includeHidden = request.alsoHidden;
    // Only the import leaves out what the archive holds; printing prints every good row.
    const QString archivePath =
        request.action == CommandLineRequest::Import && !request.alsoStored && world.archivePath
            ? world.archivePath()
            : QString();
    // No chooser is given: a workbook of several sheets is read at --foglio, or at its first.
    SheetBatch batch;
    if (const Failure failure =
            prepareSheetBatch(sheet, archivePath, StoredDateReader(world.locale), batch)) {
        err << failure.text() << '\n';
        err.flush();
        return ExitUsage;
    }
    for (const QString& line : batch.readLines())
        err << line << '\n';
    int status = ExitUsage;
    switch (request.action) {
    case CommandLineRequest::Import:
        status = runImport(batch, request.alsoStored, world, err);
        break;
    case CommandLineRequest::Print:
        status = runPrint(batch, QString(), world, err);
        break;
    case CommandLineRequest::Pdf:
        status = runPrint(batch, request.pdfPath, world, err);
        break;
    default:
        break;
    }
    err.flush();
    return status;
}
