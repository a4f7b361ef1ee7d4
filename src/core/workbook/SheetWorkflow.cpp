// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/workbook/SheetWorkflow.h"

#include "core/archive/ArchiveDates.h"
#include "core/archive/SlipArchive.h"
#include "core/print/Overflow.h"

using namespace Qt::StringLiterals;

Failure prepareSheetBatch(const SheetRequest& request, const QString& archivePath,
                          const StoredDateReader& dates, SheetBatch& batch, const SheetChooser& choose)
{
    batch = SheetBatch();
    if (Failure failure = readSheetFile(request.path, batch.import, request.sheetName, choose, request.merge))
        return failure;
    // The slips the archive holds already: the same sheet imported twice must not store them twice.
    // The archive is read a piece at a time and each stored slip compared as it comes, so a large archive
    // costs about the time of reading its bytes and no more memory than a small one.
    if (!archivePath.isEmpty() && !batch.import.slips.isEmpty()) {
        StoredSlipCheck check(batch.import.slips, dates);
        if (!SlipArchive(archivePath).forEachRecord([&check](const SlipRecord& record) {
                check.add(record);
            })) {
            batch.alreadyHeld = check.alreadyStored();
            batch.similar = check.similarToStored(batch.alreadyHeld);
        }
    }
    // Every row's overflows at once, so that nobody is asked row by row.
    const OverflowFinder finder;
    batch.overflowWarnings = sheetOverflowWarnings(batch.import.slips, finder);
    return {};
}

QStringList SheetBatch::readLines() const
{
    QStringList lines = sheetReadNotes(import);
    if (const QString ignored = ignoredColumnsText(import); !ignored.isEmpty())
        lines.append(ignored);
    if (const QString missing = missingColumnsText(import); !missing.isEmpty())
        lines.append(missing);
    for (const QString& value : import.mergedValues)
        lines.append(u"Per ogni riga, %1."_s.arg(value));
    for (const SheetProblem& problem : import.problems)
        lines.append(problemText(problem));
    for (const SheetProblem& notice : import.notices)
        lines.append(problemText(notice));
    return lines;
}

QList<SheetSlip> SheetBatch::slipsToStore(bool alsoHeld, bool alsoSimilar) const
{
    QList<bool> left(import.slips.size(), false);
    if (!alsoHeld) {
        for (const qsizetype index : alreadyHeld)
            left[index] = true;
    }
    if (!alsoSimilar) {
        for (const SimilarSlip& entry : similar)
            left[entry.slip] = true;
    }
    QList<SheetSlip> slips;
    for (qsizetype index = 0; index < import.slips.size(); ++index) {
        if (!left[index])
            slips.append(import.slips[index]);
    }
    return slips;
}

QString slipSummary(const SheetSlip& slip)
{
    QString summary = slip.fields[PayerName];
    if (!slip.fields[Amount].isEmpty())
        summary += (summary.isEmpty() ? u""_s : u", "_s) + slip.fields[Amount] + u" euro"_s;
    return summary.isEmpty() ? QString() : u" (%1)"_s.arg(summary);
}

std::optional<int> mergeFieldOf(QStringView column)
{
    const int field = sheetColumnOf(column);
    if (field < 0 || field >= SlipFieldCount || field == AmountWords)
        return std::nullopt;
    return field;
}
