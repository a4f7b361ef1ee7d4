// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SheetCommands.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/OldArchive.h"
#include "core/archive/SlipArchive.h"
#include "core/files/UserFolders.h"
#include "core/print/Overflow.h"
#include "core/print/PrintPage.h"
#include "core/sheet/SheetPrint.h"
#include "core/slip/Clock.h"
#include "core/workbook/RecordSheets.h"
#include "core/workbook/SheetFile.h"
#include "core/workbook/SheetWorkflow.h"
#include "platform/MessageBoxes.h"
#include "platform/Printer.h"
#include "platform/Services.h"
#include "platform/SheetDialogs.h"
#include "ui/ArchiveCommands.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

using namespace Qt::StringLiterals;

SheetCommands::SheetCommands(Services& services) : m_services(services)
{
}

SheetCommands::~SheetCommands() = default;

ArchiveCommands& SheetCommands::archive()
{
    if (m_archive)
        return *m_archive;
    if (!m_ownArchive)
        m_ownArchive = std::make_unique<ArchiveCommands>(m_services);
    m_ownArchive->setLocale(m_locale);
    return *m_ownArchive;
}

namespace {

// What the review shows of a batch.
SheetReview reviewOf(const SheetBatch& batch, const QString& fileName)
{
    const SheetImport& import = batch.import;
    SheetReview review;
    review.fileName = fileName;
    review.goodRows = int(import.slips.size());
    review.refusedRows = import.refusedRows;
    review.problems = import.problems;
    review.ignoredColumns = import.ignoredColumns;
    review.missingColumns = missingColumnsText(import);
    for (const SheetProblem& notice : import.notices)
        review.notices.append(problemText(notice));
    for (const qsizetype index : batch.alreadyHeld)
        review.notices.append(u"Riga %1: già nell'archivio"_s.arg(QString::number(import.slips[index].row)));
    review.alreadyStored = int(batch.alreadyHeld.size());
    for (const SimilarSlip& similar : batch.similar)
        review.similar.append(similarText(similar, import.slips));
    review.overflowWarnings = batch.overflowWarnings;
    review.notes = sheetReadNotes(import);
    review.columnUses = import.columnUses;
    review.mergedValues = import.mergedValues;
    review.hiddenRows = int(import.hiddenRows.size());
    return review;
}

} // namespace

SheetCommands::Result SheetCommands::importSheet(const SlipTexts& form)
{
    SheetDialogs& dialogs = m_services.sheetDialogs;
    SheetRequest request;
    request.path = dialogs.askSheetToOpen();
    if (request.path.isEmpty())
        return Result::Stopped;
    request.merge.values = form;
    const QString fileName = QFileInfo(request.path).fileName();
    const SheetChooser choose = [&dialogs, &fileName](const QStringList& names) {
        return dialogs.chooseSheet(fileName, names);
    };
    for (;;) {
        SheetBatch batch;
        if (const Failure failure = prepareSheetBatch(request, m_services.archivePath(),
                                                      StoredDateReader(m_locale), batch, choose)) {
            if (failure.kind() == Failure::Kind::Cancelled)
                return Result::Stopped;
            m_services.messages.critical(failure.text());
            return Result::Failed;
        }
        switch (dialogs.review(reviewOf(batch, fileName))) {
        case SheetAction::Stop:
            return Result::Stopped;
        case SheetAction::ReadHidden:
            request.merge.includeHidden = true;
            continue;
        case SheetAction::Store: {
            const QList<SheetSlip> fresh = batch.slipsToStore(false, false);
            if (fresh.isEmpty() && !batch.alreadyHeld.isEmpty() && batch.similar.isEmpty()) {
                m_services.messages.inform(
                    u"Tutti i bollettini del file sono già nell'archivio: nulla è stato aggiunto."_s);
                return Result::Stopped;
            }
            return storeSlips(fresh, batch.alreadyHeld.size(), batch.similar.size());
        }
        case SheetAction::StoreAll:
            return storeSlips(batch.slipsToStore(true, true));
        case SheetAction::Print:
            return printSlips(batch.import.slips);
        case SheetAction::SavePdf:
            return saveSlipsAsPdf(batch.import.slips);
        }
        return Result::Stopped;
    }
}

SheetCommands::Result SheetCommands::storeSlips(const QList<SheetSlip>& slips, qsizetype skipped,
                                                qsizetype similar)
{
    if (slips.isEmpty())
        return Result::Stopped;
    QByteArray records;
    if (const Failure failure = encodeSheetSlips(slips, m_services.clock.today(), m_locale, records)) {
        m_services.messages.critical(failure.text() + u'\n' + NoSlipAddedText());
        return Result::Failed;
    }
    if (!archive().AppendRecords(records))
        return Result::Failed;
    QString told = u"Bollettini aggiunti all'archivio: %1"_s.arg(slips.size());
    if (skipped > 0)
        told += u"; già presenti, saltati: %1"_s.arg(QString::number(skipped));
    if (similar > 0)
        told += u"; simili a uno già presente, saltati: %1"_s.arg(QString::number(similar));
    m_services.messages.inform(told + u'.');
    return Result::Done;
}

SheetCommands::Result SheetCommands::exportSheet(const QList<SlipRecord>& records)
{
    const QString path = m_services.sheetDialogs.askSheetToSave(u"bollettini.csv"_s);
    if (path.isEmpty())
        return Result::Stopped;
    if (const Failure failure = writeRecordsFile(path, records, StoredDateReader(m_locale))) {
        m_services.messages.critical(NotExportedMessage(failure.text()));
        return Result::Failed;
    }
    m_services.messages.inform(u"Bollettini esportati in %1: %2."_s.arg(QDir::toNativeSeparators(path),
                                                                        QString::number(records.size())));
    return Result::Done;
}

SheetCommands::Result SheetCommands::importArchive()
{
    const QString path = m_services.sheetDialogs.askArchiveToOpen();
    if (path.isEmpty())
        return Result::Stopped;
    ArchiveTable incoming;
    if (const Failure failure = SlipArchive(path).load(incoming)) {
        m_services.messages.critical(failure.text());
        return Result::Failed;
    }
    if (incoming.isEmpty()) {
        m_services.messages.critical(
            u"Il file %1 non contiene bollettini salvati: nulla è stato aggiunto."_s.arg(
                QDir::toNativeSeparators(path)));
        return Result::Failed;
    }
    const std::optional<SlipArchive::MergeCounts> merged = archive().MergeArchive(incoming);
    if (!merged)
        return Result::Failed;
    const SlipArchive::MergeCounts& counts = *merged;
    QString told = u"Bollettini aggiunti all'archivio: %1; già presenti, saltati: %2"_s.arg(
        QString::number(counts.added), QString::number(counts.alreadyPresent));
    if (counts.repeatedInFile > 0)
        told += u"; doppioni nel file, saltati: %1"_s.arg(counts.repeatedInFile);
    m_services.messages.inform(told + u'.');
    return Result::Done;
}

namespace {

// Remembers that the old archive was offered, and the answer; false when the file cannot be written.
bool rememberOldArchiveAnswer(const QString& answerFile, const OldArchiveSearch& search,
                              const QString& answer)
{
    QDir().mkpath(QFileInfo(answerFile).absolutePath());
    QSaveFile file(answerFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    QString text = u"Archivio di una versione precedente offerto il %1.\nRisposta: %2.\n"_s.arg(
        QDateTime::currentDateTime().toString(Qt::ISODate), answer);
    for (const OldArchivePlace& place : search.places) {
        if (place.kind != OldArchivePlace::Kind::Missing)
            text += QDir::toNativeSeparators(place.path) + u'\n';
    }
    file.write(text.toUtf8());
    return file.commit();
}

// The slips without a model, told once for all of them.
QString skippedText(const QList<SheetProblem>& skipped)
{
    QStringList rows;
    for (const SheetProblem& problem : skipped)
        rows.append(QString::number(problem.row));
    return skipped.isEmpty() ? QString()
                             : u"\nRighe senza modello, non stampate: %1."_s.arg(rows.join(u", "_s));
}

} // namespace

SheetCommands::Result SheetCommands::offerOldArchive(const QStringList& paths, const QString& answerFile)
{
    FileStatus status;
    if (answerFile.isEmpty() || pathStatus(answerFile, status))
        return Result::Stopped;
    // Most starts find nothing at all: the user's archive is read only when an old one stands somewhere.
    const bool anyThere = std::any_of(paths.begin(), paths.end(), [](const QString& path) {
        FileStatus found;
        return pathStatus(path, found);
    });
    if (!anyThere)
        return Result::Stopped;
    ArchiveTable current;
    // The user's archive unread: nothing can be counted, and its own commands will tell why.
    if (SlipArchive(m_services.archivePath()).load(current))
        return Result::Failed;
    const StoredDateReader dates(m_locale);
    const OldArchiveSearch search = searchOldArchives(paths, current, &dates);
    const QString unreadable = oldArchiveUnreadableNotice(search);
    if (search.newSlips == 0) {
        if (unreadable.isEmpty())
            return Result::Stopped;
        m_services.messages.inform(unreadable);
        rememberOldArchiveAnswer(answerFile, search, u"non leggibile"_s);
        return Result::Stopped;
    }
    QString question = oldArchiveQuestion(search);
    if (!unreadable.isEmpty())
        question = unreadable + u"\n\n"_s + question;
    if (!m_services.messages.askYesNo(question)) {
        rememberOldArchiveAnswer(answerFile, search, u"No"_s);
        return Result::Stopped;
    }
    const std::optional<SlipArchive::MergeCounts> merged = archive().MergeArchive(search.incoming);
    // Not brought in (the archive busy, or a write refused, already told): asked again at the next start.
    if (!merged)
        return Result::Failed;
    rememberOldArchiveAnswer(answerFile, search, u"Sì"_s);
    m_services.messages.inform(u"Bollettini aggiunti all'archivio: %1."_s.arg(merged->added));
    return Result::Done;
}

SheetCommands::Result SheetCommands::printSlips(const QList<SheetSlip>& slips)
{
    const SheetPages pages = printableSlips(slips);
    if (pages.slips.isEmpty()) {
        m_services.messages.critical(u"Nessun bollettino ha un modello scelto: nulla da stampare."_s);
        return Result::Failed;
    }
    const int total = int(pages.slips.size());
    PrintOutcome outcome;
    {
        std::unique_ptr<BatchProgress> progress =
            m_services.sheetDialogs.startProgress(u"Preparazione dei bollettini…"_s, total);
        BatchProgress* shown = progress.get();
        const DocumentComposer document = sheetDocument(
            pages.slips, sheetEuroMark(), [shown] { return shown && shown->cancelled(); },
            [shown, total](int done) {
                if (!shown)
                    return;
                shown->setDone(done);
                // The last page drawn, the whole job goes to CUPS: stopping it is the queue's business.
                if (done == total)
                    shown->passCancelling(u"Bollettini mandati alla stampante (CUPS): ora il lavoro si può "
                                          u"annullare solo dalla coda di stampa."_s);
            });
        outcome = m_services.printer.printDocument(document, PrintTarget{});
    }
    switch (outcome.status) {
    case PrintOutcome::Done:
        m_services.messages.inform(u"Bollettini stampati in un solo lavoro: %1.%2"_s.arg(
            QString::number(total), skippedText(pages.skipped)));
        return Result::Done;
    case PrintOutcome::Waiting:
        m_services.messages.inform(
            u"Bollettini mandati in un solo lavoro: %1.\nNon sono ancora stati stampati: "
            u"%2.\nSaranno stampati quando la stampante riprenderà a funzionare.%3"_s.arg(
                QString::number(total), outcome.errorText, skippedText(pages.skipped)));
        return Result::Done;
    case PrintOutcome::Cancelled:
        m_services.messages.inform(u"Stampa annullata: nessun bollettino è stato stampato."_s);
        return Result::Stopped;
    case PrintOutcome::Failed:
        m_services.messages.critical(PrintFailedMessage(outcome.errorText, PrintedSlips::Several));
        return Result::Failed;
    case PrintOutcome::NoPrinter:
        break;
    }
    if (!m_services.messages.askYesNo(NoPrinterMessage(outcome.errorText, PrintedSlips::Several) +
                                      u"\nVuoi salvarli in un file PDF?"_s))
        return Result::Stopped;
    return saveSlipsAsPdf(slips);
}

SheetCommands::Result SheetCommands::saveSlipsAsPdf(const QList<SheetSlip>& slips)
{
    const SheetPages pages = printableSlips(slips);
    if (pages.slips.isEmpty()) {
        m_services.messages.critical(u"Nessun bollettino ha un modello scelto: nulla da salvare."_s);
        return Result::Failed;
    }
    const QString path = m_services.sheetDialogs.askPdfToSave(u"bollettini.pdf"_s);
    if (path.isEmpty())
        return Result::Stopped;
    const int total = int(pages.slips.size());
    Failure failure;
    {
        std::unique_ptr<BatchProgress> progress =
            m_services.sheetDialogs.startProgress(u"Preparazione dei bollettini…"_s, total);
        BatchProgress* shown = progress.get();
        const DocumentComposer document = sheetDocument(
            pages.slips, sheetEuroMark(), [shown] { return shown->cancelled(); },
            [shown](int done) { shown->setDone(done); });
        failure = SaveDocumentPdf(path, document);
    }
    if (!failure) {
        m_services.messages.inform(u"Bollettini salvati in %1: %2.%3"_s.arg(
            QDir::toNativeSeparators(path), QString::number(total), skippedText(pages.skipped)));
        return Result::Done;
    }
    if (failure.kind() == Failure::Kind::Cancelled) {
        m_services.messages.inform(u"Salvataggio annullato: il file PDF non è stato scritto."_s);
        return Result::Stopped;
    }
    m_services.messages.critical(PdfNotSavedMessage(failure.text()));
    return Result::Failed;
}
