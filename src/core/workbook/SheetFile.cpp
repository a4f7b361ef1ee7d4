// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/SheetFile.h"

#include "core/files/InputFile.h"
#include "core/workbook/WorkbookReader.h"

using namespace Qt::StringLiterals;

namespace {

// Largest sheet file read, of any kind: the same bound as a CSV file's.
constexpr qint64 MaxSheetFileBytes = qint64(512) << 20;

SheetImport failed(const QString& error)
{
    SheetImport import;
    import.error = error;
    return import;
}

} // namespace

std::optional<SheetImport> readSheetFile(const QString& path, const QString& sheetName,
                                         const SheetChooser& choose)
{
    QByteArray bytes;
    QString error;
    if (!readInputFile(path, MaxSheetFileBytes, bytes, error))
        return failed(error);
    const QString lower = path.toLower();
    const bool namedWorkbook = lower.endsWith(u".xlsx") || lower.endsWith(u".ods") || lower.endsWith(u".xls");
    if (workbookKindOf(bytes) == WorkbookKind::None && !namedWorkbook) {
        if (!sheetName.isEmpty())
            return failed(u"--foglio vale solo per i file .xlsx e .ods: %1 è un file CSV."_s.arg(path));
        return readSlipSheet(bytes);
    }

    WorkbookReader reader;
    if (!reader.open(bytes, error))
        return failed(error);
    bytes.clear(); // the reader holds its own copy
    QString chosen = sheetName;
    const QStringList names = reader.sheetNames();
    if (chosen.isEmpty() && names.size() > 1 && choose) {
        const std::optional<QString> answer = choose(names);
        if (!answer)
            return std::nullopt;
        chosen = *answer;
    }
    if (!reader.selectSheet(chosen, error))
        return failed(error);
    SheetImport import = readSlipSheetRows([&reader](SheetRow& row) { return reader.next(row); });
    if (!reader.error().isEmpty())
        return failed(reader.error() + u" Nessun bollettino è stato letto."_s);
    return import;
}
