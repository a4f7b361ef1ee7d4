// SPDX-License-Identifier: GPL-3.0-or-later

// .xlsx (Office Open XML) workbooks: the workbook part and its relationships, the styles' number
// formats, the shared texts, and one sheet's rows read as the sheet shows them.

#include "core/workbook/WorkbookFormats.h"

#include "core/number/ExactNumber.h"

#include <QDate>
#include <QHash>

using namespace Qt::StringLiterals;

namespace WorkbookFormats {

namespace {

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

class XlsxStream final : public SheetStream
{
public:
    XlsxStream(QString part, const QByteArray& xml, const QStringList& strings,
               const QList<NumberFormat>& styles, bool system1904)
        : m_part(std::move(part)), m_xml(xml), m_strings(strings), m_styles(styles), m_1904(system1904)
    {
        findMerges(xml);
    }

    Failure next(SheetRow& row, bool& more) override
    {
        more = false;
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement() && m_xml.name() == u"row") {
                if (Failure failure = readRow(row))
                    return failure;
                if (!row.cells.isEmpty()) {
                    more = true;
                    return {};
                }
            } else if (m_xml.isStartElement() && m_xml.name() == u"mergeCells") {
                m_xml.skipCurrentElement();
            }
        }
        if (m_xml.hasError())
            return Failure::failed(xmlError(m_part, m_xml));
        return {};
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

    Failure readRow(SheetRow& row)
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
            if (!reference.isEmpty() && !parseReference(reference, column, refRow))
                return Failure::failed(
                    damaged(m_part, u"ha una cella senza un riferimento valido alla riga %1"_s.arg(row.row)));
            nextColumn = column + 1;
            SheetCell cell;
            if (Failure failure = readCell(cell))
                return failure;
            placeProblem(cell, column, row.row);
            if (cellIsEmpty(cell) || hiddenByMerge(column, row.row))
                continue;
            if (row.row > WorkbookReader::MaxRows)
                return Failure::failed(tooManyRows());
            if (column >= WorkbookReader::MaxColumns)
                return Failure::failed(tooManyColumns(row.row));
            if (++m_cells > WorkbookReader::MaxCells)
                return Failure::failed(tooManyCells());
            if (row.cells.size() <= column)
                row.cells.resize(column + 1);
            row.cells[column] = std::move(cell);
        }
        if (m_xml.hasError())
            return Failure::failed(xmlError(m_part, m_xml));
        return {};
    }

    // At a <c>: its value as the sheet shows it.
    Failure readCell(SheetCell& cell)
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
        if (m_xml.hasError())
            return Failure::failed(xmlError(m_part, m_xml));
        if (!cell.formula.isEmpty() && (!hasValue || (type != u"inlineStr" && value.isEmpty()))) {
            cell.problem = QString::fromUtf16(FormulaWithoutValue);
            return {};
        }
        if (!hasValue)
            return {};
        if (type == u"s") {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size())
                return Failure::failed(
                    damaged(m_part, u"nomina un testo che non c'è (%1)"_s.arg(value.left(20))));
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
            if (!number)
                return Failure::failed(
                    damaged(m_part, u"ha un numero non valido «%1»"_s.arg(value.left(40))));
            cell = numberCell(*number, format, m_1904);
        }
        return {};
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

Failure readRelationships(Package& package, const QString& part, QHash<QString, Relationship>& out)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    const QString relsPart =
        (slash < 0 ? QString() : part.left(slash + 1)) + u"_rels/"_s + part.mid(slash + 1) + u".rels"_s;
    QByteArray bytes;
    if (Failure failure = package.read(relsPart, bytes))
        return failure;
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
    if (xml.hasError())
        return Failure::failed(xmlError(relsPart, xml));
    return {};
}

Failure readXlsxStyles(Package& package, const QString& part, QList<NumberFormat>& styles)
{
    QByteArray bytes;
    if (Failure failure = package.read(part, bytes))
        return failure;
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
    if (xml.hasError())
        return Failure::failed(xmlError(part, xml));
    return {};
}

Failure readXlsxStrings(Package& package, const QString& part, QStringList& strings)
{
    QByteArray bytes;
    if (Failure failure = package.read(part, bytes))
        return failure;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"si")
            strings.append(XlsxStream::readRichTextOf(xml));
    }
    if (xml.hasError())
        return Failure::failed(xmlError(part, xml));
    return {};
}

} // namespace

Failure readXlsxBook(Package& package, XlsxBook& book)
{
    QString workbook = u"xl/workbook.xml"_s;
    QHash<QString, Relationship> rootRels;
    if (package.has(u"_rels/.rels"_s) && !readRelationships(package, u""_s, rootRels)) {
        for (const Relationship& relation : std::as_const(rootRels)) {
            if (relation.type.endsWith(u"/officeDocument"))
                workbook = relation.target;
        }
    }
    QHash<QString, Relationship> rels;
    if (Failure failure = readRelationships(package, workbook, rels))
        return failure;
    QByteArray bytes;
    if (Failure failure = package.read(workbook, bytes))
        return failure;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"workbookPr") {
            const QStringView flag = xml.attributes().value(u"date1904"_s);
            book.system1904 = flag == u"1" || flag == u"true";
        } else if (xml.name() == u"sheet") {
            const QXmlStreamAttributes attributes = xml.attributes();
            QString id;
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (attribute.name() == u"id" && !attribute.namespaceUri().isEmpty())
                    id = attribute.value().toString();
            }
            const auto relation = rels.constFind(id);
            if (relation == rels.constEnd())
                return Failure::failed(damaged(workbook, u"nomina un foglio senza la sua parte"_s));
            book.names.append(attributes.value(u"name"_s).toString());
            book.parts.append(relation->target);
            const QStringView state = attributes.value(u"state"_s);
            book.hidden.append(state == u"hidden" || state == u"veryHidden");
        }
    }
    if (xml.hasError())
        return Failure::failed(xmlError(workbook, xml));
    if (book.names.isEmpty())
        return Failure::failed(noSheets(workbook));
    for (const Relationship& relation : std::as_const(rels)) {
        Failure failure;
        if (relation.type.endsWith(u"/styles"))
            failure = readXlsxStyles(package, relation.target, book.styles);
        else if (relation.type.endsWith(u"/sharedStrings"))
            failure = readXlsxStrings(package, relation.target, book.strings);
        if (failure)
            return failure;
    }
    return {};
}

std::unique_ptr<SheetStream> xlsxSheetStream(const QString& part, const QByteArray& xml, const XlsxBook& book)
{
    return std::make_unique<XlsxStream>(part, xml, book.strings, book.styles, book.system1904);
}

} // namespace WorkbookFormats
