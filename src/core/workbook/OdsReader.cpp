// SPDX-License-Identifier: GPL-3.0-or-later

// OpenDocument sheets, zipped (.ods) or flat (.fods): the tables' names and one table's rows, its
// repeated rows and cells expanded only where they hold a value.

#include "core/workbook/WorkbookFormats.h"

#include "core/number/ExactNumber.h"

#include <QDate>

using namespace Qt::StringLiterals;

namespace WorkbookFormats {

namespace {

const QString OfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;
const QString TableNs = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0"_s;
const QString TextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0"_s;

// Most spaces one <text:s> may stand for.
constexpr int MaxRepeatedSpaces = 1024;

class OdsStream final : public SheetStream
{
public:
    OdsStream(const QByteArray& xml, const QString& table) : m_xml(xml), m_table(table) {}

    Failure next(SheetRow& row, bool& more) override
    {
        more = false;
        if (m_repeatsLeft > 0) {
            --m_repeatsLeft;
            row = m_repeated;
            return rowTaken(row, more);
        }
        if (!m_inTable) {
            if (Failure failure = findTable())
                return failure;
            if (!m_inTable)
                return {};
        }
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isEndElement() && m_xml.name() == u"table" && m_xml.namespaceUri() == TableNs) {
                m_done = true;
                return {};
            }
            if (!m_xml.isStartElement() || m_xml.namespaceUri() != TableNs)
                continue;
            if (m_xml.name() == u"table-row") {
                // Beyond the last row, more repeats change nothing: a value there is refused all the same.
                const qint64 repeats = std::clamp<qint64>(
                    m_xml.attributes().value(TableNs, u"number-rows-repeated"_s).toLongLong(), 1,
                    WorkbookReader::MaxRows);
                // "collapse": hidden by its owner; "filter": left out by a filter.
                const QStringView visibility = m_xml.attributes().value(TableNs, u"visibility"_s);
                const bool hidden = visibility == u"collapse" || visibility == u"filter";
                if (Failure failure = readRow(row))
                    return failure;
                if (row.cells.isEmpty()) {
                    // Empty rows, however many, cost nothing.
                    m_rowNumber = std::min<qint64>(m_rowNumber + repeats, WorkbookReader::MaxRows);
                    continue;
                }
                row.hidden = hidden;
                if (repeats > 1) {
                    m_repeated = row;
                    m_repeatsLeft = repeats - 1;
                }
                return rowTaken(row, more);
            }
            if (m_xml.name() == u"table" || m_xml.name() == u"shapes" || m_xml.name() == u"named-expressions")
                m_xml.skipCurrentElement(); // a table inside a cell's drawing, or the names
        }
        if (m_xml.hasError())
            return Failure::failed(xmlError(u"content.xml"_s, m_xml));
        return {};
    }

private:
    // The next row's number into row; a failure past the last row.
    Failure numberRow(SheetRow& row)
    {
        if (m_rowNumber >= WorkbookReader::MaxRows)
            return Failure::failed(tooManyRows());
        row.row = int(++m_rowNumber);
        return {};
    }

    Failure countCells(const SheetRow& row)
    {
        m_cells += row.cells.size();
        if (m_cells > WorkbookReader::MaxCells)
            return Failure::failed(tooManyCells());
        return {};
    }

    // Reads up to the table's start (m_inTable) or, when it is not there, to the end (m_done).
    Failure findTable()
    {
        while (!m_done && !m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement() && m_xml.name() == u"table" && m_xml.namespaceUri() == TableNs) {
                if (m_xml.attributes().value(TableNs, u"name"_s) == m_table) {
                    m_inTable = true;
                    return {};
                }
                m_xml.skipCurrentElement();
            }
        }
        m_done = true;
        if (m_xml.hasError())
            return Failure::failed(xmlError(u"content.xml"_s, m_xml));
        return {};
    }

    // The row found, numbered and counted: more when it is within the limits.
    Failure rowTaken(SheetRow& row, bool& more)
    {
        if (Failure failure = numberRow(row))
            return failure;
        if (Failure failure = countCells(row))
            return failure;
        more = true;
        return {};
    }

    // At a <table:table-row>: its cells, repeats expanded where a value follows them.
    Failure readRow(SheetRow& row)
    {
        row.cells.clear();
        row.unterminatedQuote = false;
        qint64 column = 0;
        while (m_xml.readNextStartElement()) {
            const bool covered = m_xml.name() == u"covered-table-cell";
            if (m_xml.namespaceUri() != TableNs || (m_xml.name() != u"table-cell" && !covered)) {
                m_xml.skipCurrentElement();
                continue;
            }
            // Past the last column more repeats change nothing: a value there is refused all the same.
            const qint64 repeats = std::clamp<qint64>(
                m_xml.attributes().value(TableNs, u"number-columns-repeated"_s).toLongLong(), 1,
                WorkbookReader::MaxColumns + 1);
            SheetCell cell;
            if (Failure failure = readCell(cell))
                return failure;
            placeProblem(cell, int(std::min<qint64>(column, WorkbookReader::MaxColumns)), m_rowNumber + 1);
            if (covered || cellIsEmpty(cell)) {
                column = std::min<qint64>(column + repeats, WorkbookReader::MaxColumns + 1);
                continue;
            }
            if (column + repeats > WorkbookReader::MaxColumns)
                return Failure::failed(tooManyColumns(m_rowNumber + 1));
            row.cells.resize(column);
            for (qint64 i = 0; i < repeats; ++i)
                row.cells.append(cell);
            column += repeats;
        }
        if (m_xml.hasError())
            return Failure::failed(xmlError(u"content.xml"_s, m_xml));
        dropTrailingEmpty(row.cells);
        return {};
    }

    // At a cell: its value, as its paragraphs show it.
    Failure readCell(SheetCell& cell)
    {
        const QXmlStreamAttributes attributes = m_xml.attributes();
        const QStringView type = attributes.value(OfficeNs, u"value-type"_s);
        const QString value = attributes.value(OfficeNs, u"value"_s).toString();
        const QString dateValue = attributes.value(OfficeNs, u"date-value"_s).toString();
        const QString booleanValue = attributes.value(OfficeNs, u"boolean-value"_s).toString();
        const QString stringValue = attributes.value(OfficeNs, u"string-value"_s).toString();
        cell.formula = attributes.value(TableNs, u"formula"_s).toString();
        QString shown;
        bool firstParagraph = true;
        while (m_xml.readNextStartElement()) {
            if (m_xml.namespaceUri() == TextNs && m_xml.name() == u"p") {
                if (!firstParagraph)
                    shown += u'\n';
                firstParagraph = false;
                readParagraph(shown);
            } else {
                m_xml.skipCurrentElement(); // a note, a drawing
            }
        }
        if (m_xml.hasError())
            return Failure::failed(xmlError(u"content.xml"_s, m_xml));
        if (!cell.formula.isEmpty() && type.isEmpty() && firstParagraph) {
            cell.problem = QString::fromUtf16(FormulaWithoutValue);
            return {};
        }
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            const std::optional<ExactNumber> number = ExactNumber::parse(value.trimmed());
            if (!number)
                return Failure::failed(
                    damaged(u"content.xml"_s, u"ha un numero non valido «%1»"_s.arg(value.left(40))));
            cell.kind = SheetCellKind::Number;
            cell.number = number->plain();
            cell.text = firstParagraph ? NumberFormat().show(*number) : shown;
        } else if (type == u"date") {
            const QDate date = QDate::fromString(dateValue.left(10), Qt::ISODate);
            if (!date.isValid())
                return Failure::failed(
                    damaged(u"content.xml"_s, u"ha una data non valida «%1»"_s.arg(dateValue.left(40))));
            cell.kind = SheetCellKind::Date;
            cell.date = date;
            cell.text = firstParagraph ? date.toString(u"dd/MM/yyyy"_s) : shown;
        } else if (type == u"boolean") {
            cell.text = !firstParagraph ? shown : booleanValue == u"true" ? u"VERO"_s : u"FALSO"_s;
        } else {
            cell.text = firstParagraph ? stringValue : shown;
        }
        return {};
    }

    // At a <text:p>: its text, spaces, tabs and line breaks as written, into out.
    void readParagraph(QString& out)
    {
        int depth = 1;
        while (depth > 0 && !m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isCharacters()) {
                out += m_xml.text();
            } else if (m_xml.isStartElement()) {
                if (m_xml.namespaceUri() == TextNs && m_xml.name() == u"s") {
                    int count = m_xml.attributes().value(TextNs, u"c"_s).toInt();
                    count = std::clamp(count, 1, MaxRepeatedSpaces);
                    out += QString(count, u' ');
                    m_xml.skipCurrentElement();
                } else if (m_xml.namespaceUri() == TextNs && m_xml.name() == u"tab") {
                    out += u'\t';
                    m_xml.skipCurrentElement();
                } else if (m_xml.namespaceUri() == TextNs && m_xml.name() == u"line-break") {
                    out += u'\n';
                    m_xml.skipCurrentElement();
                } else if (m_xml.namespaceUri() == OfficeNs && m_xml.name() == u"annotation") {
                    m_xml.skipCurrentElement();
                } else if (m_xml.namespaceUri() == TextNs && m_xml.name() == u"note") {
                    m_xml.skipCurrentElement();
                } else {
                    ++depth; // a span, a link: their text counts
                }
            } else if (m_xml.isEndElement()) {
                --depth;
            }
            if (out.size() > MaxCellText)
                out.truncate(MaxCellText);
        }
    }

    QXmlStreamReader m_xml;
    QString m_table;
    bool m_inTable = false;
    bool m_done = false;
    qint64 m_rowNumber = 0;
    qint64 m_cells = 0;
    SheetRow m_repeated;
    qint64 m_repeatsLeft = 0;
};

} // namespace

Failure readOdsTableNames(const QByteArray& content, QStringList& names)
{
    QXmlStreamReader xml(content);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"table" && xml.namespaceUri() == TableNs) {
            names.append(xml.attributes().value(TableNs, u"name"_s).toString());
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return Failure::failed(xmlError(u"content.xml"_s, xml));
    if (names.isEmpty())
        return Failure::failed(noSheets(u"content.xml"_s));
    return {};
}

std::unique_ptr<SheetStream> odsSheetStream(const QByteArray& content, const QString& table)
{
    return std::make_unique<OdsStream>(content, table);
}

} // namespace WorkbookFormats
