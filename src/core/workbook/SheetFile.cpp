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

} // namespace

Failure readSheetFile(const QString& path, SheetImport& import, const QString& sheetName,
                      const SheetChooser& choose, const SheetMerge& merge)
{
    import = SheetImport();
    QByteArray bytes;
    if (Failure failure = readInputFile(path, MaxSheetFileBytes, bytes))
        return failure;
    const QString lower = path.toLower();
    const bool namedWorkbook = lower.endsWith(u".xlsx") || lower.endsWith(u".xlsm") ||
                               lower.endsWith(u".ods") || lower.endsWith(u".xls");
    const WorkbookKind kind = workbookKindOf(bytes);
    if (kind == WorkbookKind::None && lower.endsWith(u".fods"))
        return Failure::failed(u"Il file %1 non è un foglio OpenDocument piatto (.fods) leggibile: aprirlo "
                               u"e salvarlo come .ods o .xlsx."_s.arg(path));
    if (kind == WorkbookKind::None && !namedWorkbook) {
        if (!sheetName.isEmpty())
            return Failure::failed(
                u"--foglio vale solo per i file .xlsx, .ods e .fods: %1 è un file CSV."_s.arg(path));
        return readSlipSheet(bytes, import, merge);
    }

    WorkbookReader reader;
    if (Failure failure = reader.open(bytes))
        return failure;
    bytes.clear(); // the reader holds its own copy
    QString chosen = sheetName;
    const QStringList names = reader.sheetNames();
    if (chosen.isEmpty() && names.size() > 1 && choose) {
        const std::optional<QString> answer = choose(names);
        if (!answer)
            return Failure::cancelled(u"nessun foglio di %1 è stato scelto"_s.arg(path));
        chosen = *answer;
    }
    if (Failure failure = reader.selectSheet(chosen))
        return failure;
    Failure unread;
    Failure failure = readSlipSheetRows(rowsOf(reader, unread), import, u';', merge);
    if (unread) {
        import = SheetImport();
        return Failure::failed(unread.text() + u" Nessun bollettino è stato letto."_s);
    }
    if (failure && import.headerRow == 0 && names.size() > 1) {
        // The sheet read holds something else (instructions, a summary): the others may be the list.
        QStringList withHeader;
        for (const QString& name : names) {
            Failure unreadable;
            if (!reader.selectSheet(name) && sheetHeaderRow(rowsOf(reader, unreadable)) > 0)
                withHeader.append(name);
        }
        const QString read = chosen.isEmpty() ? names.value(0) : chosen;
        if (!withHeader.isEmpty())
            failure = Failure::failed(
                u"Il foglio «%1» non nomina le colonne di un elenco di bollettini; le nominano %2 "
                u"%3: sceglierlo (dalla riga di comando, con --foglio)."_s.arg(
                    read, withHeader.size() == 1 ? u"il foglio"_s : u"i fogli"_s,
                    sheetNamesText(withHeader)));
    }
    return failure;
}
