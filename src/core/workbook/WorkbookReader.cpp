// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/WorkbookReader.h"

#include "core/workbook/ExactNumber.h"
#include "core/workbook/NumberFormat.h"
#include "core/workbook/ZipPackage.h"

#include <QHash>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace {

const QString OfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;
const QString TableNs = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0"_s;
const QString TextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0"_s;
const QString RelationshipNs = u"http://schemas.openxmlformats.org/officeDocument/2006/relationships"_s;

// Longest text one cell may hold: far beyond any slip field.
constexpr qsizetype MaxCellText = qsizetype(1) << 20;
// Most spaces one <text:s> may stand for.
constexpr int MaxRepeatedSpaces = 1024;

QString damaged(const QString& part, const QString& why)
{
    return u"Il foglio di lavoro è danneggiato: la parte %1 %2."_s.arg(part, why);
}

QString tooLarge()
{
    return u"Il foglio di lavoro decompresso supera %1 MB: non viene letto, potrebbe essere costruito "
           u"per esaurire la memoria."_s.arg(WorkbookReader::MaxUnpackedBytes >> 20);
}

// The zip of a workbook, read from memory, each part counted against one budget.
class Package
{
public:
    // False with the reason when the bytes are not a zip that can be read.
    bool open(const QByteArray& bytes, QString& reason) { return m_zip.open(bytes, reason); }
    bool has(const QString& part) const { return m_zip.contains(part); }

    // The part's bytes; false with the reason when it is missing, broken or past the budget.
    bool read(const QString& part, QByteArray& out, QString& errorText)
    {
        QString reason;
        switch (m_zip.read(part, out, reason)) {
        case ZipReader::Failure::None:
            return true;
        case ZipReader::Failure::Missing:
            errorText = damaged(part, u"manca"_s);
            break;
        case ZipReader::Failure::Unsupported:
            errorText =
                damaged(part, u"non si apre (compressione sconosciuta o file cifrato): %1"_s.arg(reason));
            break;
        case ZipReader::Failure::Damaged:
            errorText = damaged(part, reason);
            break;
        case ZipReader::Failure::Checksum:
            errorText = damaged(part, u"non supera il controllo (CRC)"_s);
            break;
        case ZipReader::Failure::OverBudget:
            errorText = tooLarge();
            break;
        }
        return false;
    }

private:
    ZipReader m_zip{WorkbookReader::MaxUnpackedBytes};
};

QString xmlError(const QString& part, const QXmlStreamReader& xml)
{
    return damaged(
        part, u"non è XML valido (%1, riga %2)"_s.arg(xml.errorString(), QString::number(xml.lineNumber())));
}

// "AB12" to column 27 (from 0) and row 12; false when it is not a reference.
bool parseReference(QStringView reference, int& column, int& row)
{
    qsizetype i = 0;
    qint64 letters = 0;
    while (i < reference.size() && reference[i].isLetter() && reference[i].unicode() < 128) {
        letters = letters * 26 + (reference[i].toUpper().unicode() - u'A' + 1);
        if (letters > 1'000'000)
            return false;
        ++i;
    }
    if (i == 0)
        return false;
    bool ok = false;
    const qint64 number = reference.mid(i).toLongLong(&ok);
    if (!ok || number < 1 || number > 100'000'000)
        return false;
    column = int(letters - 1);
    row = int(number);
    return true;
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

// .xlsx texts write a character XML cannot hold as "_x000D_".
QString unescapedXlsx(const QString& text)
{
    if (!text.contains(u"_x"))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = text.mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool cellIsEmpty(const SheetCell& cell)
{
    return cell.kind == SheetCellKind::Text && cell.text.isEmpty() && cell.problem.isEmpty();
}

// A formula whose result the file does not hold: written by a script, never opened by a spreadsheet
// program, which would have computed it.
const char16_t* const FormulaWithoutValue = u"formula senza valore calcolato; aprire e salvare il file";

// The problem of the cell at column, row, named by its reference ("E5: …").
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

// A number as its format shows it: a date when the format is a date's.
SheetCell numberCell(const ExactNumber& value, const NumberFormat& format, bool system1904)
{
    SheetCell cell;
    if (format.isDate() && !value.negative) {
        const std::optional<qint64> serial = value.floorToInteger();
        const QDate date = serial ? dateOfSerial(*serial, system1904) : QDate();
        if (date.isValid()) {
            cell.kind = SheetCellKind::Date;
            cell.date = date;
            cell.text = format.showDate(date, value.secondsOfDay());
            return cell;
        }
    }
    cell.kind = SheetCellKind::Number;
    cell.number = value.plain();
    cell.text = format.show(value);
    return cell;
}

} // namespace

QString columnName(int column)
{
    return sheetColumnLetters(column);
}

// One sheet's rows, from its XML.
class SheetStream
{
public:
    virtual ~SheetStream() = default;
    virtual bool next(SheetRow& row, QString& errorText) = 0;
};

namespace {

class XlsxStream final : public SheetStream
{
public:
    XlsxStream(QString part, const QByteArray& xml, const QStringList& strings,
               const QList<NumberFormat>& styles, bool system1904)
        : m_part(std::move(part)), m_xml(xml), m_strings(strings), m_styles(styles), m_1904(system1904)
    {
        findMerges(xml);
    }

    bool next(SheetRow& row, QString& errorText) override
    {
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement() && m_xml.name() == u"row") {
                if (!readRow(row, errorText))
                    return false;
                if (!row.cells.isEmpty())
                    return true;
            } else if (m_xml.isStartElement() && m_xml.name() == u"mergeCells") {
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError()) {
            errorText = xmlError(m_part, m_xml);
            return false;
        }
        return false;
    }

private:
    // The merged areas, from the end of the sheet: all but their first cell are shown empty.
    void findMerges(const QByteArray& xml)
    {
        // The last opening tag (it may have a prefix), not the closing one; read from its "<" on.
        qsizetype at = xml.size();
        qsizetype start = -1;
        while ((at = xml.lastIndexOf("mergeCells", at - 1)) > 0) {
            start = xml.lastIndexOf('<', at);
            if (start >= 0 && xml.at(start + 1) != '/')
                break;
            start = -1;
        }
        if (start < 0)
            return;
        QXmlStreamReader tail(xml.mid(start));
        while (!tail.atEnd()) {
            tail.readNext();
            if (tail.isStartElement() && tail.name() == u"mergeCell") {
                const QStringView ref = tail.attributes().value(u"ref"_s);
                const qsizetype colon = ref.indexOf(u':');
                int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
                if (colon > 0 && parseReference(ref.left(colon), c1, r1) &&
                    parseReference(ref.mid(colon + 1), c2, r2))
                    m_merges.append({c1, r1, c2, r2});
            }
        }
    }
    bool hiddenByMerge(int column, int row) const
    {
        for (const Merge& merge : m_merges) {
            if (column >= merge.c1 && column <= merge.c2 && row >= merge.r1 && row <= merge.r2 &&
                (column != merge.c1 || row != merge.r1))
                return true;
        }
        return false;
    }

    bool readRow(SheetRow& row, QString& errorText)
    {
        row.cells.clear();
        row.unterminatedQuote = false;
        bool ok = false;
        const qint64 number = m_xml.attributes().value(u"r"_s).toLongLong(&ok);
        // A row past the last is read only to be refused if it holds a value.
        m_lastRow = std::min<qint64>(ok && number > 0 ? number : m_lastRow + 1, WorkbookReader::MaxRows + 1);
        row.row = int(m_lastRow);
        const QStringView hidden = m_xml.attributes().value(u"hidden"_s);
        row.hidden = hidden == u"1" || hidden == u"true";
        int nextColumn = 0;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() != u"c") {
                m_xml.skipCurrentElement();
                continue;
            }
            int column = nextColumn;
            int refRow = 0;
            const QStringView reference = m_xml.attributes().value(u"r"_s);
            if (!reference.isEmpty() && !parseReference(reference, column, refRow)) {
                errorText =
                    damaged(m_part, u"ha una cella senza un riferimento valido alla riga %1"_s.arg(row.row));
                return false;
            }
            nextColumn = column + 1;
            SheetCell cell;
            if (!readCell(cell, errorText))
                return false;
            placeProblem(cell, column, row.row);
            if (cellIsEmpty(cell) || hiddenByMerge(column, row.row))
                continue;
            if (row.row > WorkbookReader::MaxRows) {
                errorText = tooManyRows();
                return false;
            }
            if (column >= WorkbookReader::MaxColumns) {
                errorText = tooManyColumns(row.row);
                return false;
            }
            if (++m_cells > WorkbookReader::MaxCells) {
                errorText = tooManyCells();
                return false;
            }
            if (row.cells.size() <= column)
                row.cells.resize(column + 1);
            row.cells[column] = std::move(cell);
        }
        if (m_xml.hasError()) {
            errorText = xmlError(m_part, m_xml);
            return false;
        }
        return true;
    }

    // At a <c>: its value as the sheet shows it.
    bool readCell(SheetCell& cell, QString& errorText)
    {
        const QString type = m_xml.attributes().value(u"t"_s).toString();
        bool styleOk = false;
        const int style = m_xml.attributes().value(u"s"_s).toInt(&styleOk);
        const NumberFormat format =
            styleOk && style >= 0 && style < m_styles.size() ? m_styles[style] : NumberFormat();
        QString value;
        QString inlineText;
        bool hasValue = false;
        while (m_xml.readNextStartElement()) {
            if (m_xml.name() == u"v") {
                value = m_xml.readElementText();
                hasValue = true;
            } else if (m_xml.name() == u"is") {
                inlineText = readRichText();
                hasValue = true;
            } else if (m_xml.name() == u"f") {
                cell.formula = m_xml.readElementText(); // its value is in <v>
            } else {
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError()) {
            errorText = xmlError(m_part, m_xml);
            return false;
        }
        if (!cell.formula.isEmpty() && (!hasValue || (type != u"inlineStr" && value.isEmpty()))) {
            cell.problem = QString::fromUtf16(FormulaWithoutValue);
            return true;
        }
        if (!hasValue)
            return true;
        if (type == u"s") {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                errorText = damaged(m_part, u"nomina un testo che non c'è (%1)"_s.arg(value.left(20)));
                return false;
            }
            cell.text = m_strings[index];
        } else if (type == u"inlineStr") {
            cell.text = inlineText;
        } else if (type == u"str" || type == u"e") {
            cell.text = unescapedXlsx(value);
        } else if (type == u"b") {
            cell.text = value.trimmed() == u"1" ? u"VERO"_s : u"FALSO"_s;
        } else if (type == u"d") {
            const QDate date = QDate::fromString(value.trimmed().left(10), Qt::ISODate);
            if (date.isValid()) {
                cell.kind = SheetCellKind::Date;
                cell.date = date;
                cell.text = format.isDate() ? format.showDate(date, 0) : date.toString(u"dd/MM/yyyy"_s);
            } else {
                cell.text = value;
            }
        } else {
            const std::optional<ExactNumber> number = ExactNumber::parse(value.trimmed());
            if (!number) {
                errorText = damaged(m_part, u"ha un numero non valido «%1»"_s.arg(value.left(40)));
                return false;
            }
            cell = numberCell(*number, format, m_1904);
        }
        return true;
    }

    // The text of an <is> or <si>: its <t>, or the <t> of each run, phonetic guides left out.
    QString readRichText() { return readRichTextOf(m_xml); }

public:
    static QString readRichTextOf(QXmlStreamReader& xml)
    {
        QString text;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"t") {
                text += xml.readElementText();
            } else if (xml.name() == u"r") {
                while (xml.readNextStartElement()) {
                    if (xml.name() == u"t")
                        text += xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
            } else {
                xml.skipCurrentElement(); // <rPh>, <phoneticPr>
            }
            if (text.size() > MaxCellText)
                text.truncate(MaxCellText);
        }
        return unescapedXlsx(text);
    }

private:
    struct Merge {
        int c1, r1, c2, r2;
    };
    QString m_part;
    QXmlStreamReader m_xml;
    const QStringList& m_strings;
    const QList<NumberFormat>& m_styles;
    bool m_1904 = false;
    QList<Merge> m_merges;
    qint64 m_lastRow = 0;
    qint64 m_cells = 0;
};

class OdsStream final : public SheetStream
{
public:
    OdsStream(const QByteArray& xml, const QString& table) : m_xml(xml), m_table(table) {}

    bool next(SheetRow& row, QString& errorText) override
    {
        if (m_repeatsLeft > 0) {
            --m_repeatsLeft;
            row = m_repeated;
            return numberRow(row, errorText) && countCells(row, errorText);
        }
        if (!m_inTable && !findTable(errorText))
            return false;
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isEndElement() && m_xml.name() == u"table" && m_xml.namespaceUri() == TableNs) {
                m_done = true;
                return false;
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
                if (!readRow(row, errorText))
                    return false;
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
                return numberRow(row, errorText) && countCells(row, errorText);
            }
            if (m_xml.name() == u"table" || m_xml.name() == u"shapes" || m_xml.name() == u"named-expressions")
                m_xml.skipCurrentElement(); // a table inside a cell's drawing, or the names
        }
        if (m_xml.hasError())
            errorText = xmlError(u"content.xml"_s, m_xml);
        return false;
    }

private:
    // The next row's number into row; false past the last row.
    bool numberRow(SheetRow& row, QString& errorText)
    {
        if (m_rowNumber >= WorkbookReader::MaxRows) {
            errorText = tooManyRows();
            return false;
        }
        row.row = int(++m_rowNumber);
        return true;
    }

    bool countCells(const SheetRow& row, QString& errorText)
    {
        m_cells += row.cells.size();
        if (m_cells > WorkbookReader::MaxCells) {
            errorText = tooManyCells();
            return false;
        }
        return true;
    }

    bool findTable(QString& errorText)
    {
        while (!m_done && !m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement() && m_xml.name() == u"table" && m_xml.namespaceUri() == TableNs) {
                if (m_xml.attributes().value(TableNs, u"name"_s) == m_table) {
                    m_inTable = true;
                    return true;
                }
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError())
            errorText = xmlError(u"content.xml"_s, m_xml);
        m_done = true;
        return false;
    }

    // At a <table:table-row>: its cells, repeats expanded where a value follows them.
    bool readRow(SheetRow& row, QString& errorText)
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
            if (!readCell(cell, errorText))
                return false;
            placeProblem(cell, int(std::min<qint64>(column, WorkbookReader::MaxColumns)), m_rowNumber + 1);
            if (covered || cellIsEmpty(cell)) {
                column = std::min<qint64>(column + repeats, WorkbookReader::MaxColumns + 1);
                continue;
            }
            if (column + repeats > WorkbookReader::MaxColumns) {
                errorText = tooManyColumns(m_rowNumber + 1);
                return false;
            }
            row.cells.resize(column);
            for (qint64 i = 0; i < repeats; ++i)
                row.cells.append(cell);
            column += repeats;
        }
        if (m_xml.hasError()) {
            errorText = xmlError(u"content.xml"_s, m_xml);
            return false;
        }
        dropTrailingEmpty(row.cells);
        return true;
    }

    // At a cell: its value, as its paragraphs show it.
    bool readCell(SheetCell& cell, QString& errorText)
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
        if (m_xml.hasError()) {
            errorText = xmlError(u"content.xml"_s, m_xml);
            return false;
        }
        if (!cell.formula.isEmpty() && type.isEmpty() && firstParagraph) {
            cell.problem = QString::fromUtf16(FormulaWithoutValue);
            return true;
        }
        if (type == u"float" || type == u"percentage" || type == u"currency") {
            const std::optional<ExactNumber> number = ExactNumber::parse(value.trimmed());
            if (!number) {
                errorText = damaged(u"content.xml"_s, u"ha un numero non valido «%1»"_s.arg(value.left(40)));
                return false;
            }
            cell.kind = SheetCellKind::Number;
            cell.number = number->plain();
            cell.text = firstParagraph ? NumberFormat().show(*number) : shown;
        } else if (type == u"date") {
            const QDate date = QDate::fromString(dateValue.left(10), Qt::ISODate);
            if (!date.isValid()) {
                errorText =
                    damaged(u"content.xml"_s, u"ha una data non valida «%1»"_s.arg(dateValue.left(40)));
                return false;
            }
            cell.kind = SheetCellKind::Date;
            cell.date = date;
            cell.text = firstParagraph ? date.toString(u"dd/MM/yyyy"_s) : shown;
        } else if (type == u"boolean") {
            cell.text = !firstParagraph ? shown : booleanValue == u"true" ? u"VERO"_s : u"FALSO"_s;
        } else {
            cell.text = firstParagraph ? stringValue : shown;
        }
        return true;
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

struct WorkbookReader::Impl {
    WorkbookKind kind = WorkbookKind::None;
    Package package;
    QStringList names;
    QStringList parts;          // .xlsx: each sheet's part
    QList<bool> hidden;         // by sheet
    QStringList strings;        // .xlsx: the shared texts
    QList<NumberFormat> styles; // .xlsx: by cell style index
    bool system1904 = false;
    QByteArray sheetXml;
    std::unique_ptr<SheetStream> stream;
    QString error;

    bool openXlsx(QString& errorText);
    bool openOds(QString& errorText);
    bool openOdsTables(QString& errorText); // the sheets of sheetXml, the document's content
    bool readXlsxStyles(const QString& part, QString& errorText);
    bool readXlsxStrings(const QString& part, QString& errorText);
};

namespace {

// "xl/worksheets/sheet1.xml" from the target a relationship of "xl/workbook.xml" names.
QString resolvedTarget(const QString& from, const QString& target)
{
    if (target.startsWith(u'/'))
        return target.mid(1);
    const qsizetype slash = from.lastIndexOf(u'/');
    QString base = slash < 0 ? QString() : from.left(slash + 1);
    QString path = base + target;
    // "../" steps.
    QStringList pieces;
    for (const QString& piece : path.split(u'/')) {
        if (piece == u"..") {
            if (!pieces.isEmpty())
                pieces.removeLast();
        } else if (piece != u"." && !piece.isEmpty()) {
            pieces.append(piece);
        }
    }
    return pieces.join(u'/');
}

// The relationships of a part, by id: target and type.
struct Relationship {
    QString target;
    QString type;
};

bool readRelationships(Package& package, const QString& part, QHash<QString, Relationship>& out,
                       QString& errorText)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString relsPart =
        (slash < 0 ? QString() : part.left(slash + 1)) + u"_rels/"_s + part.mid(slash + 1) + u".rels"_s;
    QByteArray bytes;
    if (!package.read(relsPart, bytes, errorText))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"Relationship") {
            const QXmlStreamAttributes attributes = xml.attributes();
            out.insert(attributes.value(u"Id"_s).toString(),
                       {resolvedTarget(part, attributes.value(u"Target"_s).toString()),
                        attributes.value(u"Type"_s).toString()});
        }
    }
    if (xml.hasError()) {
        errorText = xmlError(relsPart, xml);
        return false;
    }
    return true;
}

} // namespace

bool WorkbookReader::Impl::openXlsx(QString& errorText)
{
    QString workbook = u"xl/workbook.xml"_s;
    QHash<QString, Relationship> rootRels;
    if (package.has(u"_rels/.rels"_s) && readRelationships(package, u""_s, rootRels, errorText)) {
        for (const Relationship& relation : std::as_const(rootRels)) {
            if (relation.type.endsWith(u"/officeDocument"))
                workbook = relation.target;
        }
    }
    QHash<QString, Relationship> rels;
    if (!readRelationships(package, workbook, rels, errorText))
        return false;
    QByteArray bytes;
    if (!package.read(workbook, bytes, errorText))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"workbookPr") {
            const QStringView flag = xml.attributes().value(u"date1904"_s);
            system1904 = flag == u"1" || flag == u"true";
        } else if (xml.name() == u"sheet") {
            const QXmlStreamAttributes attributes = xml.attributes();
            QString id;
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                    id = attribute.value().toString();
            }
            const auto relation = rels.constFind(id);
            if (relation == rels.constEnd()) {
                errorText = damaged(workbook, u"nomina un foglio senza la sua parte"_s);
                return false;
            }
            names.append(attributes.value(u"name"_s).toString());
            parts.append(relation->target);
            const QStringView state = attributes.value(u"state"_s);
            hidden.append(state == u"hidden" || state == u"veryHidden");
        }
    }
    if (xml.hasError()) {
        errorText = xmlError(workbook, xml);
        return false;
    }
    if (names.isEmpty()) {
        errorText = damaged(workbook, u"non ha nessun foglio"_s);
        return false;
    }
    for (const Relationship& relation : std::as_const(rels)) {
        if (relation.type.endsWith(u"/styles") && !readXlsxStyles(relation.target, errorText))
            return false;
        if (relation.type.endsWith(u"/sharedStrings") && !readXlsxStrings(relation.target, errorText))
            return false;
    }
    return true;
}

bool WorkbookReader::Impl::readXlsxStyles(const QString& part, QString& errorText)
{
    QByteArray bytes;
    if (!package.read(part, bytes, errorText))
        return false;
    QHash<int, QString> codes;
    QXmlStreamReader xml(bytes);
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == u"cellXfs")
            inCellXfs = false;
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"numFmt") {
            codes.insert(xml.attributes().value(u"numFmtId"_s).toInt(),
                         xml.attributes().value(u"formatCode"_s).toString());
        } else if (xml.name() == u"cellXfs") {
            inCellXfs = true;
        } else if (inCellXfs && xml.name() == u"xf") {
            const int id = xml.attributes().value(u"numFmtId"_s).toInt();
            styles.append(codes.contains(id) ? NumberFormat(codes.value(id)) : NumberFormat::builtin(id));
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) {
        errorText = xmlError(part, xml);
        return false;
    }
    return true;
}

bool WorkbookReader::Impl::readXlsxStrings(const QString& part, QString& errorText)
{
    QByteArray bytes;
    if (!package.read(part, bytes, errorText))
        return false;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si")
            strings.append(XlsxStream::readRichTextOf(xml));
    }
    if (xml.hasError()) {
        errorText = xmlError(part, xml);
        return false;
    }
    return true;
}

bool WorkbookReader::Impl::openOds(QString& errorText)
{
    if (!package.read(u"content.xml"_s, sheetXml, errorText))
        return false;
    return openOdsTables(errorText);
}

bool WorkbookReader::Impl::openOdsTables(QString& errorText)
{
    QXmlStreamReader xml(sheetXml);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"table" && xml.namespaceUri() == TableNs) {
            names.append(xml.attributes().value(TableNs, u"name"_s).toString());
            hidden.append(false);
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) {
        errorText = xmlError(u"content.xml"_s, xml);
        return false;
    }
    if (names.isEmpty()) {
        errorText = damaged(u"content.xml"_s, u"non ha nessun foglio"_s);
        return false;
    }
    return true;
}

namespace {

const char OdsMimeType[] = "application/vnd.oasis.opendocument.spreadsheet";

// A flat OpenDocument sheet (.fods): one XML document, its type named on its root element.
bool isFlatOds(const QByteArray& bytes)
{
    const QByteArray head = bytes.left(4096);
    const qsizetype root = head.indexOf("<office:document ");
    return head.trimmed().startsWith("<?xml") && root >= 0 &&
           head.indexOf(QByteArray("office:mimetype=\"") + OdsMimeType + '"', root) >= 0;
}

// An .xlsx or .docx that Office saved with a password is a compound file holding the encrypted
// package and its "EncryptionInfo" stream, whose name the file's directory writes in UTF-16.
bool isEncryptedOoxml(const QByteArray& bytes)
{
    static const QByteArray name = [] {
        QByteArray utf16;
        for (const char c : QByteArrayView("EncryptionInfo"))
            utf16.append(c).append('\0');
        return utf16;
    }();
    return bytes.indexOf(name) >= 0;
}

const char16_t* const PasswordProtected =
    u"Il file è protetto da password e non si può leggere: aprirlo nel programma del foglio di "
    u"calcolo, togliere la password (File, Proprietà o Salva con nome) e salvarlo di nuovo.";

} // namespace

WorkbookKind workbookKindOf(const QByteArray& bytes)
{
    if (isFlatOds(bytes))
        return WorkbookKind::Ods;
    if (!bytes.startsWith("PK\x03\x04"))
        return WorkbookKind::None;
    // The ODF package names its type first, uncompressed; an .xlsx has its workbook part.
    if (bytes.mid(30, 8) == "mimetype" &&
        bytes.indexOf("application/vnd.oasis.opendocument.spreadsheet") >= 0 &&
        bytes.indexOf("application/vnd.oasis.opendocument.spreadsheet") < 200)
        return WorkbookKind::Ods;
    ZipReader zip(0); // only the names are looked at
    QString reason;
    if (!zip.open(bytes, reason))
        return WorkbookKind::None;
    if (zip.contains(u"xl/workbook.xml"_s) || zip.contains(u"[Content_Types].xml"_s))
        return WorkbookKind::Xlsx;
    if (zip.contains(u"content.xml"_s))
        return WorkbookKind::Ods;
    return WorkbookKind::None;
}

WorkbookReader::WorkbookReader() : m(std::make_unique<Impl>())
{
}

WorkbookReader::~WorkbookReader() = default;

bool WorkbookReader::open(const QByteArray& bytes, QString& errorText)
{
    m = std::make_unique<Impl>();
    if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
        errorText =
            isEncryptedOoxml(bytes)
                ? QString::fromUtf16(PasswordProtected)
                : u"Il file è un foglio di Excel 97-2003 (.xls): aprirlo e salvarlo come .xlsx o .ods."_s;
        return false;
    }
    if (isFlatOds(bytes)) {
        m->kind = WorkbookKind::Ods;
        m->sheetXml = bytes;
        return m->openOdsTables(errorText);
    }
    if (!bytes.startsWith("PK\x03\x04")) {
        errorText = u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile."_s;
        return false;
    }
    QString reason;
    if (!m->package.open(bytes, reason)) {
        errorText =
            u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile. %1%2."_s.arg(
                reason.left(1).toUpper(), reason.mid(1));
        return false;
    }
    if (m->package.has(u"content.xml"_s) && !m->package.has(u"xl/workbook.xml"_s)) {
        m->kind = WorkbookKind::Ods;
        // An OpenDocument file saved with a password says so in its manifest; its parts are
        // encrypted and would read as damaged.
        QByteArray manifest;
        QString unread;
        if (m->package.has(u"META-INF/manifest.xml"_s) &&
            m->package.read(u"META-INF/manifest.xml"_s, manifest, unread) &&
            manifest.contains("encryption-data")) {
            errorText = QString::fromUtf16(PasswordProtected);
            return false;
        }
        return m->openOds(errorText);
    }
    if (m->package.has(u"[Content_Types].xml"_s)) {
        m->kind = WorkbookKind::Xlsx;
        return m->openXlsx(errorText);
    }
    errorText = u"Il file è un archivio zip ma non un foglio di lavoro .xlsx o .ods."_s;
    return false;
}

QStringList WorkbookReader::sheetNames() const
{
    return m->names;
}

bool WorkbookReader::selectSheet(const QString& name, QString& errorText)
{
    qsizetype index = -1;
    if (name.isEmpty()) {
        index = m->hidden.indexOf(false);
        if (index < 0)
            index = 0;
    } else {
        index = m->names.indexOf(name);
        for (qsizetype i = 0; index < 0 && i < m->names.size(); ++i) {
            if (m->names[i].compare(name, Qt::CaseInsensitive) == 0)
                index = i;
        }
    }
    if (index < 0 || index >= m->names.size()) {
        errorText =
            u"Il foglio «%1» non c'è: i fogli del file sono %2."_s.arg(name, sheetNamesText(m->names));
        return false;
    }
    m->error.clear();
    if (m->kind == WorkbookKind::Ods) {
        m->stream = std::make_unique<OdsStream>(m->sheetXml, m->names[index]);
        return true;
    }
    const QString part = m->parts[index];
    if (!m->package.read(part, m->sheetXml, errorText))
        return false;
    m->stream = std::make_unique<XlsxStream>(part, m->sheetXml, m->strings, m->styles, m->system1904);
    return true;
}

bool WorkbookReader::next(SheetRow& row)
{
    if (!m->stream || !m->error.isEmpty())
        return false;
    return m->stream->next(row, m->error);
}

QString WorkbookReader::error() const
{
    return m->error;
}

QString sheetNamesText(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(u"«%1»"_s.arg(name));
    return quoted.join(u", "_s);
}
