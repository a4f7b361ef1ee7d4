// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/RecordSheets.h"

#include "core/archive/ArchiveDates.h"
#include "core/files/OutputFile.h"
#include "core/sheet/CsvText.h"
#include "core/sheet/SlipSheet.h"
#include "core/workbook/WorkbookWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

QList<SheetRow> typedSheetOfRecords(const QList<SlipRecord>& records, const StoredDateReader& dates)
{
    // The archive's amounts: digits, a comma, two decimals.
    static const QRegularExpression amountForm(u"^(\\d+),(\\d\\d)$"_s);
    const QList<QStringList> texts = sheetOfRecords(records, dates);
    QList<SheetRow> sheet;
    sheet.reserve(texts.size());
    for (qsizetype index = 0; index < texts.size(); ++index) {
        SheetRow row;
        row.row = int(index + 1);
        for (const QString& text : texts[index]) {
            SheetCell cell;
            cell.text = text;
            row.cells.append(cell);
        }
        if (index > 0 && row.cells.size() > 1 + Amount) {
            // The date comes first, then the slip fields.
            SheetCell& date = row.cells[0];
            if (const std::optional<QDate> day = dates.read(records[index - 1].column(DateColumn))) {
                date.kind = SheetCellKind::Date;
                date.date = *day;
                date.text = day->toString(u"dd/MM/yyyy"_s);
            }
            SheetCell& amount = row.cells[1 + Amount];
            const QRegularExpressionMatch match = amountForm.match(amount.text);
            if (match.hasMatch()) {
                amount.kind = SheetCellKind::Number;
                amount.number = match.captured(1) + u'.' + match.captured(2);
            }
        }
        sheet.append(std::move(row));
    }
    return sheet;
}

QString NotExportedMessage(const QString& reason)
{
    return u"Il file non è stato esportato: %1."_s.arg(reason);
}

Failure writeRecordsFile(const QString& path, const QList<SlipRecord>& records, const StoredDateReader& dates)
{
    const QString lower = path.toLower();
    // A name that asks for a kind of file not written here (".xls", ".pdf") would get CSV under it.
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (!suffix.isEmpty() && suffix != u"csv" && suffix != u"txt" && suffix != u"xlsx" && suffix != u"ods") {
        return Failure::failed(
            u"il nome %1 chiede un file .%2, che non viene scritto: usare .csv, .xlsx o .ods"_s.arg(
                QDir::toNativeSeparators(path), suffix));
    }
    const WorkbookKind kind = lower.endsWith(u".xlsx")  ? WorkbookKind::Xlsx
                              : lower.endsWith(u".ods") ? WorkbookKind::Ods
                                                        : WorkbookKind::None;
    QByteArray bytes;
    if (kind == WorkbookKind::None) {
        bytes = writeCsv(sheetOfRecords(records, dates));
    } else {
        if (const Failure failure =
                writeWorkbook(typedSheetOfRecords(records, dates), kind, u"Bollettini"_s, bytes))
            return Failure::failed(u"impossibile scrivere %1: %2"_s.arg(path, failure.text()));
    }
    return writeOutputFile(path, bytes);
}
