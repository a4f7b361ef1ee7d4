// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/WorkbookFormats.h"

using namespace Qt::StringLiterals;

namespace WorkbookFormats {

QString damaged(const QString& part, const QString& why)
{
    return u"Il foglio di lavoro è danneggiato: la parte %1 %2."_s.arg(part, why);
}

QString noSheets(const QString& part)
{
    return damaged(part, u"non ha nessun foglio"_s);
}

QString tooLarge()
{
    return u"Il foglio di lavoro decompresso supera %1 MB: non viene letto, potrebbe essere costruito "
           u"per esaurire la memoria."_s.arg(WorkbookReader::MaxUnpackedBytes >> 20);
}

QString xmlError(const QString& part, const QXmlStreamReader& xml)
{
    return damaged(
        part, u"non è XML valido (%1, riga %2)"_s.arg(xml.errorString(), QString::number(xml.lineNumber())));
}

QString tooManyColumns(int row)
{
    return u"La riga %1 del foglio ha valori oltre la colonna %2: un elenco di bollettini non ne ha "
           u"bisogno, il foglio non viene letto."_s.arg(QString::number(row),
                                                        columnName(WorkbookReader::MaxColumns - 1));
}

QString tooManyRows()
{
    return u"Il foglio ha valori oltre la riga %1: un elenco di bollettini non ne ha bisogno, il foglio "
           u"non viene letto."_s.arg(WorkbookReader::MaxRows);
}

QString tooManyCells()
{
    return u"Il foglio ha più di %1 celle piene: non viene letto."_s.arg(WorkbookReader::MaxCells);
}

bool cellIsEmpty(const SheetCell& cell)
{
    return cell.kind == SheetCellKind::Text && cell.text.isEmpty() && cell.problem.isEmpty();
}

const char16_t* const FormulaWithoutValue = u"formula senza valore calcolato; aprire e salvare il file";

void placeProblem(SheetCell& cell, int column, qint64 row)
{
    if (!cell.problem.isEmpty())
        cell.problem = u"%1%2: %3"_s.arg(columnName(column), QString::number(row), cell.problem);
}

void dropTrailingEmpty(QList<SheetCell>& cells)
{
    while (!cells.isEmpty() && cellIsEmpty(cells.last()))
        cells.removeLast();
}

Failure Package::read(const QString& part, QByteArray& out)
{
    // Past the budget is no damage: the workbook is refused for its size.
    if (m_zip.unpackedSize(part) > m_zip.budgetLeft()) {
        out.clear();
        return Failure::failed(tooLarge());
    }
    if (const Failure failure = m_zip.read(part, out))
        return Failure::failed(damaged(part, failure.text()));
    return {};
}

} // namespace WorkbookFormats
