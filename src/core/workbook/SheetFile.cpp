// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/SheetFile.h"

#include "core/files/InputFile.h"
#include "core/workbook/WorkbookReader.h"

using namespace Qt::StringLiterals;

namespace {

// Largest sheet file read, of any kind: the same bound as a CSV file's.
constexpr qint64 MaxSheetFileBytes = qint64(512) << 20;

// The reader's rows, one at a time, as the sheet's reading takes them; unread gets the failure that
// ended them early.
SheetRowReader rowsOf(WorkbookReader& reader, Failure& unread)
{
    return [&reader, &unread](SheetRow& row) {
        bool more = false;
        unread = reader.next(row, more);
        return more;
    };
}

SheetImport failed(const QString& error)
{
    SheetImport import;
    import.error = error;
    return import;
}

} // namespace

std::optional<SheetImport> readSheetFile(const QString& path, const QString& sheetName,
                                         const SheetChooser& choose, const SheetMerge& merge)
{
    QByteArray bytes;
    if (const Failure failure = readInputFile(path, MaxSheetFileBytes, bytes))
        return failed(failure.text());
    const QString lower = path.toLower();
    const bool namedWorkbook = lower.endsWith(u".xlsx") || lower.endsWith(u".xlsm") ||
                               lower.endsWith(u".ods") || lower.endsWith(u".xls");
    const WorkbookKind kind = workbookKindOf(bytes);
    if (kind == WorkbookKind::None && lower.endsWith(u".fods"))
        return failed(u"Il file %1 non è un foglio OpenDocument piatto (.fods) leggibile: aprirlo e salvarlo "
                      u"come .ods o .xlsx."_s.arg(path));
    if (kind == WorkbookKind::None && !namedWorkbook) {
        if (!sheetName.isEmpty())
            return failed(
                u"--foglio vale solo per i file .xlsx, .ods e .fods: %1 è un file CSV."_s.arg(path));
        return readSlipSheet(bytes, merge);
    }

    WorkbookReader reader;
    if (const Failure failure = reader.open(bytes))
        return failed(failure.text());
    bytes.clear(); // the reader holds its own copy
    QString chosen = sheetName;
    const QStringList names = reader.sheetNames();
    if (chosen.isEmpty() && names.size() > 1 && choose) {
        const std::optional<QString> answer = choose(names);
        if (!answer)
            return std::nullopt;
        chosen = *answer;
    }
    if (const Failure failure = reader.selectSheet(chosen))
        return failed(failure.text());
    Failure unread;
    SheetImport import = readSlipSheetRows(rowsOf(reader, unread), u';', merge);
    if (unread)
        return failed(unread.text() + u" Nessun bollettino è stato letto."_s);
    if (!import.read && import.headerRow == 0 && names.size() > 1) {
        // The sheet read holds something else (instructions, a summary): the others may be the list.
        QStringList withHeader;
        for (const QString& name : names) {
            Failure unreadable;
            if (!reader.selectSheet(name) && sheetHeaderRow(rowsOf(reader, unreadable)) > 0)
                withHeader.append(name);
        }
        const QString read = chosen.isEmpty() ? names.value(0) : chosen;
        if (!withHeader.isEmpty())
            import.error =
                u"Il foglio «%1» non nomina le colonne di un elenco di bollettini; le nominano %2 "
                u"%3: sceglierlo (dalla riga di comando, con --foglio)."_s.arg(
                    read, withHeader.size() == 1 ? u"il foglio"_s : u"i fogli"_s, sheetNamesText(withHeader));
    }
    return import;
}
