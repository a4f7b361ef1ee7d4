#include "ui/SheetCommands.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/print/Overflow.h"
#include "core/sheet/SheetPrint.h"
#include "core/slip/Clock.h"
#include "platform/MessageBoxes.h"
#include "platform/Services.h"
#include "platform/SheetDialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

using namespace Qt::StringLiterals;

SheetCommands::SheetCommands(Services& services) : m_services(services)
{
}

SheetCommands::Result SheetCommands::importSheet()
{
    if (!m_services.sheetDialogs)
        return Result::Stopped;
    SheetDialogs& dialogs = *m_services.sheetDialogs;
    const QString path = dialogs.askSheetToOpen();
    if (path.isEmpty())
        return Result::Stopped;
    const SheetImport import = readSlipSheetFile(path);
    if (!import.read) {
        m_services.messages.critical(import.error);
        return Result::Failed;
    }

    SheetReview review;
    review.fileName = QFileInfo(path).fileName();
    review.goodRows = int(import.slips.size());
    review.refusedRows = import.refusedRows;
    review.problems = import.problems;
    review.ignoredColumns = import.ignoredColumns;
    // Every row's overflows at once, so that nobody is asked row by row.
    const OverflowFinder finder;
    review.overflowWarnings = sheetOverflowWarnings(import.slips, finder);
    switch (dialogs.review(review)) {
    case SheetAction::Stop:
        return Result::Stopped;
    case SheetAction::Store:
        return storeSlips(import.slips);
    case SheetAction::Print:
        return printSlips(import.slips);
    case SheetAction::SavePdf:
        return saveSlipsAsPdf(import.slips);
    }
    return Result::Stopped;
}

SheetCommands::Result SheetCommands::storeSlips(const QList<SheetSlip>& slips)
{
    if (slips.isEmpty())
        return Result::Stopped;
    QString error;
    const QByteArray bytes = encodeSheetSlips(slips, m_services.clock.today(), m_locale, &error);
    if (bytes.isEmpty() || !SlipArchive(m_services.archivePath()).append(bytes, &error)) {
        m_services.messages.critical(error + u"\nNessun bollettino è stato aggiunto."_s);
        return Result::Failed;
    }
    m_services.messages.inform(u"Bollettini aggiunti all'archivio: %1."_s.arg(slips.size()));
    return Result::Done;
}

SheetCommands::Result SheetCommands::exportSheet(const QList<SlipRecord>& records)
{
    if (!m_services.sheetDialogs)
        return Result::Stopped;
    const QString path = m_services.sheetDialogs->askSheetToSave(u"bollettini.csv"_s);
    if (path.isEmpty())
        return Result::Stopped;
    const QByteArray bytes = writeCsv(sheetOfRecords(records, StoredDateReader(m_locale)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_services.messages.critical(u"Impossibile scrivere %1: %2.\nIl file non è stato esportato."_s.arg(
            QDir::toNativeSeparators(path), file.errorString()));
        return Result::Failed;
    }
    m_services.messages.inform(
        u"Bollettini esportati in %1: %2."_s.arg(QDir::toNativeSeparators(path)).arg(records.size()));
    return Result::Done;
}

SheetCommands::Result SheetCommands::importArchive()
{
    if (!m_services.sheetDialogs)
        return Result::Stopped;
    const QString path = m_services.sheetDialogs->askArchiveToOpen();
    if (path.isEmpty())
        return Result::Stopped;
    ArchiveTable incoming;
    QString error;
    if (!SlipArchive(path).load(incoming, &error)) {
        m_services.messages.critical(error);
        return Result::Failed;
    }
    if (incoming.isEmpty()) {
        m_services.messages.critical(
            u"Il file %1 non contiene bollettini salvati: nulla è stato aggiunto."_s.arg(
                QDir::toNativeSeparators(path)));
        return Result::Failed;
    }
    qsizetype added = 0;
    qsizetype skipped = 0;
    if (!SlipArchive(m_services.archivePath()).merge(incoming, &added, &skipped, &error)) {
        m_services.messages.critical(error + u"\nNessun bollettino è stato aggiunto."_s);
        return Result::Failed;
    }
    m_services.messages.inform(
        u"Bollettini aggiunti all'archivio: %1; già presenti, saltati: %2."_s.arg(added).arg(skipped));
    return Result::Done;
}

SheetCommands::Result SheetCommands::printSlips(const QList<SheetSlip>& slips)
{
    Q_UNUSED(slips);
    return Result::Stopped;
}

SheetCommands::Result SheetCommands::saveSlipsAsPdf(const QList<SheetSlip>& slips)
{
    Q_UNUSED(slips);
    return Result::Stopped;
}
