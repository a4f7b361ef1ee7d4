// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/WorkbookWriter.h"

#include "core/number/ExactNumber.h"
#include "core/number/NumberFormat.h"
#include "core/workbook/WorkbookReader.h"
#include "core/workbook/ZipPackage.h"

#include <QXmlStreamWriter>

using namespace Qt::StringLiterals;

namespace {

// The format of every number cell: amounts.
const QString AmountCode = u"#,##0.00"_s;

Failure zipOf(const QList<ZipEntry>& entries, QByteArray& bytes)
{
    if (const Failure failure = writeZip(entries, bytes))
        return Failure::failed(u"impossibile preparare il foglio di lavoro (%1)"_s.arg(failure.text()));
    return {};
}

// XML 1.0 cannot hold most control characters; .xlsx writes them as "_x0001_", and its own "_x" too.
QString xlsxEscaped(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool control = c.unicode() < 0x20 && c != u'\t' && c != u'\n';
        const bool lookalike = c == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_';
        if (control || lookalike)
            out += u"_x"_s + u"%1"_s.arg(c.unicode(), 4, 16, QChar(u'0')).toUpper() + u'_';
        else
            out += c;
    }
    return out;
}

QByteArray xmlHeader()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
}

QByteArray xlsxSheet(const QList<SheetRow>& rows)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument(u"1.0"_s, true);
    xml.writeStartElement(u"worksheet"_s);
    xml.writeDefaultNamespace(u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"_s);
    xml.writeStartElement(u"sheetData"_s);
    int number = 0;
    for (const SheetRow& row : rows) {
        ++number;
        xml.writeStartElement(u"row"_s);
        xml.writeAttribute(u"r"_s, QString::number(number));
        for (qsizetype column = 0; column < row.cells.size(); ++column) {
            const SheetCell& cell = row.cells[column];
            const QString reference = columnName(int(column)) + QString::number(number);
            xml.writeStartElement(u"c"_s);
            xml.writeAttribute(u"r"_s, reference);
            if (cell.kind == SheetCellKind::Number) {
                xml.writeAttribute(u"s"_s, u"2"_s);
                xml.writeTextElement(u"v"_s, cell.number);
            } else if (cell.kind == SheetCellKind::Date) {
                xml.writeAttribute(u"s"_s, u"3"_s);
                xml.writeTextElement(u"v"_s, QString::number(serialOfDate(cell.date)));
            } else {
                xml.writeAttribute(u"s"_s, u"1"_s);
                xml.writeAttribute(u"t"_s, u"inlineStr"_s);
                xml.writeStartElement(u"is"_s);
                xml.writeStartElement(u"t"_s);
                xml.writeAttribute(u"xml:space"_s, u"preserve"_s);
                xml.writeCharacters(xlsxEscaped(cell.text));
                xml.writeEndElement();
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

Failure xlsxOf(const QList<SheetRow>& rows, const QString& sheetName, QByteArray& bytes)
{
    const QByteArray contentTypes =
        xmlHeader() +
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/xl/workbook.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
        "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
        "<Override PartName=\"/xl/styles.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
        "</Types>";
    const QByteArray rootRels =
        xmlHeader() +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"xl/workbook.xml\"/></Relationships>";
    QByteArray workbook;
    {
        QXmlStreamWriter xml(&workbook);
        xml.writeStartDocument(u"1.0"_s, true);
        xml.writeStartElement(u"workbook"_s);
        xml.writeDefaultNamespace(u"http://schemas.openxmlformats.org/spreadsheetml/2006/main"_s);
        xml.writeNamespace(u"http://schemas.openxmlformats.org/officeDocument/2006/relationships"_s, u"r"_s);
        xml.writeStartElement(u"sheets"_s);
        xml.writeStartElement(u"sheet"_s);
        xml.writeAttribute(u"name"_s, sheetName);
        xml.writeAttribute(u"sheetId"_s, u"1"_s);
        xml.writeAttribute(u"http://schemas.openxmlformats.org/officeDocument/2006/relationships"_s, u"id"_s,
                           u"rId1"_s);
        xml.writeEndDocument();
    }
    const QByteArray workbookRels =
        xmlHeader() +
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
        "Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId2\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
        "Target=\"styles.xml\"/></Relationships>";
    // Cell styles: 0 General, 1 text, 2 the amount, 3 the date.
    const QByteArray styles =
        xmlHeader() +
        "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
        "<numFmts count=\"2\"><numFmt numFmtId=\"164\" formatCode=\"" +
        AmountCode.toUtf8() +
        "\"/><numFmt numFmtId=\"165\" formatCode=\"dd/mm/yyyy\"/></numFmts>"
        "<fonts count=\"1\"><font><sz val=\"10\"/><name val=\"Arial\"/></font></fonts>"
        "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
        "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
        "borderId=\"0\"/></cellStyleXfs>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
        "<xf numFmtId=\"49\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
        "<xf numFmtId=\"164\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyNumberFormat=\"1\"/>"
        "<xf numFmtId=\"165\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
        "applyNumberFormat=\"1\"/></cellXfs>"
        "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
        "</styleSheet>";
    return zipOf({{u"[Content_Types].xml"_s, contentTypes},
                  {u"_rels/.rels"_s, rootRels},
                  {u"xl/workbook.xml"_s, workbook},
                  {u"xl/_rels/workbook.xml.rels"_s, workbookRels},
                  {u"xl/styles.xml"_s, styles},
                  {u"xl/worksheets/sheet1.xml"_s, xlsxSheet(rows)}},
                 bytes);
}

const QString OfficeNs = u"urn:oasis:names:tc:opendocument:xmlns:office:1.0"_s;
const QString StyleNs = u"urn:oasis:names:tc:opendocument:xmlns:style:1.0"_s;
const QString TextNs = u"urn:oasis:names:tc:opendocument:xmlns:text:1.0"_s;
const QString TableNs = u"urn:oasis:names:tc:opendocument:xmlns:table:1.0"_s;
const QString NumberNs = u"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0"_s;
const QString FoNs = u"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"_s;

// A paragraph's text with runs of spaces, tabs and line breaks as the format writes them.
void writeParagraphText(QXmlStreamWriter& xml, const QString& text)
{
    QString pending;
    auto flush = [&] {
        if (!pending.isEmpty())
            xml.writeCharacters(pending);
        pending.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\t') {
            flush();
            xml.writeEmptyElement(TextNs, u"tab"_s);
        } else if (c == u'\n') {
            flush();
            xml.writeEmptyElement(TextNs, u"line-break"_s);
        } else if (c == u' ' && (i == 0 || text[i - 1] == u' ')) {
            // A space at the start or after another: XML readers would fold it.
            qsizetype run = 0;
            while (i + run < text.size() && text[i + run] == u' ')
                ++run;
            flush();
            xml.writeEmptyElement(TextNs, u"s"_s);
            if (run > 1)
                xml.writeAttribute(TextNs, u"c"_s, QString::number(run));
            i += run - 1;
        } else if (c.unicode() < 0x20) {
            // Not allowed in XML: dropped.
        } else {
            pending += c;
        }
    }
    flush();
}

// The cells' styles: "#,##0.00" (ce1), "dd/mm/yyyy" (ce2) and text (ce3), Italian.
void writeOdsStyles(QXmlStreamWriter& xml)
{
    xml.writeStartElement(OfficeNs, u"automatic-styles"_s);
    xml.writeStartElement(NumberNs, u"number-style"_s);
    xml.writeAttribute(StyleNs, u"name"_s, u"N1"_s);
    xml.writeAttribute(NumberNs, u"language"_s, u"it"_s);
    xml.writeAttribute(NumberNs, u"country"_s, u"IT"_s);
    xml.writeEmptyElement(NumberNs, u"number"_s);
    xml.writeAttribute(NumberNs, u"decimal-places"_s, u"2"_s);
    xml.writeAttribute(NumberNs, u"min-decimal-places"_s, u"2"_s);
    xml.writeAttribute(NumberNs, u"min-integer-digits"_s, u"1"_s);
    xml.writeAttribute(NumberNs, u"grouping"_s, u"true"_s);
    xml.writeEndElement();
    xml.writeStartElement(NumberNs, u"date-style"_s);
    xml.writeAttribute(StyleNs, u"name"_s, u"N2"_s);
    xml.writeAttribute(NumberNs, u"language"_s, u"it"_s);
    xml.writeAttribute(NumberNs, u"country"_s, u"IT"_s);
    xml.writeEmptyElement(NumberNs, u"day"_s);
    xml.writeAttribute(NumberNs, u"style"_s, u"long"_s);
    xml.writeTextElement(NumberNs, u"text"_s, u"/"_s);
    xml.writeEmptyElement(NumberNs, u"month"_s);
    xml.writeAttribute(NumberNs, u"style"_s, u"long"_s);
    xml.writeTextElement(NumberNs, u"text"_s, u"/"_s);
    xml.writeEmptyElement(NumberNs, u"year"_s);
    xml.writeAttribute(NumberNs, u"style"_s, u"long"_s);
    xml.writeEndElement();
    xml.writeStartElement(NumberNs, u"text-style"_s);
    xml.writeAttribute(StyleNs, u"name"_s, u"N3"_s);
    xml.writeEmptyElement(NumberNs, u"text-content"_s);
    xml.writeEndElement();
    for (const auto& [name, data] :
         {std::pair{u"ce1"_s, u"N1"_s}, {u"ce2"_s, u"N2"_s}, {u"ce3"_s, u"N3"_s}}) {
        xml.writeEmptyElement(StyleNs, u"style"_s);
        xml.writeAttribute(StyleNs, u"name"_s, name);
        xml.writeAttribute(StyleNs, u"family"_s, u"table-cell"_s);
        xml.writeAttribute(StyleNs, u"data-style-name"_s, data);
    }
    xml.writeEndElement(); // automatic-styles
}

QByteArray odsContent(const QList<SheetRow>& rows, const QString& sheetName)
{
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument(u"1.0"_s, true);
    xml.writeNamespace(OfficeNs, u"office"_s);
    xml.writeNamespace(StyleNs, u"style"_s);
    xml.writeNamespace(TextNs, u"text"_s);
    xml.writeNamespace(TableNs, u"table"_s);
    xml.writeNamespace(NumberNs, u"number"_s);
    xml.writeNamespace(FoNs, u"fo"_s);
    xml.writeStartElement(OfficeNs, u"document-content"_s);
    xml.writeAttribute(OfficeNs, u"version"_s, u"1.3"_s);

    writeOdsStyles(xml);

    xml.writeStartElement(OfficeNs, u"body"_s);
    xml.writeStartElement(OfficeNs, u"spreadsheet"_s);
    xml.writeStartElement(TableNs, u"table"_s);
    xml.writeAttribute(TableNs, u"name"_s, sheetName);
    qsizetype columns = 1;
    for (const SheetRow& row : rows)
        columns = std::max(columns, row.cells.size());
    xml.writeEmptyElement(TableNs, u"table-column"_s);
    xml.writeAttribute(TableNs, u"number-columns-repeated"_s, QString::number(columns));
    for (const SheetRow& row : rows) {
        xml.writeStartElement(TableNs, u"table-row"_s);
        for (const SheetCell& cell : row.cells) {
            xml.writeStartElement(TableNs, u"table-cell"_s);
            QString shown = cell.text;
            if (cell.kind == SheetCellKind::Number) {
                xml.writeAttribute(TableNs, u"style-name"_s, u"ce1"_s);
                xml.writeAttribute(OfficeNs, u"value-type"_s, u"float"_s);
                xml.writeAttribute(OfficeNs, u"value"_s, cell.number);
                if (const std::optional<ExactNumber> value = ExactNumber::parse(cell.number))
                    shown = NumberFormat(AmountCode).show(*value);
            } else if (cell.kind == SheetCellKind::Date) {
                xml.writeAttribute(TableNs, u"style-name"_s, u"ce2"_s);
                xml.writeAttribute(OfficeNs, u"value-type"_s, u"date"_s);
                xml.writeAttribute(OfficeNs, u"date-value"_s, cell.date.toString(Qt::ISODate));
                shown = cell.date.toString(u"dd/MM/yyyy"_s);
            } else {
                xml.writeAttribute(TableNs, u"style-name"_s, u"ce3"_s);
                xml.writeAttribute(OfficeNs, u"value-type"_s, u"string"_s);
            }
            if (!shown.isEmpty()) {
                xml.writeStartElement(TextNs, u"p"_s);
                writeParagraphText(xml, shown);
                xml.writeEndElement();
            }
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

Failure odsOf(const QList<SheetRow>& rows, const QString& sheetName, QByteArray& bytes)
{
    const QByteArray mimetype = "application/vnd.oasis.opendocument.spreadsheet";
    const QByteArray manifest =
        xmlHeader() +
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" manifest:media-type=\"" +
        mimetype +
        "\"/><manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "</manifest:manifest>";
    return zipOf({{u"mimetype"_s, mimetype, true},
                  {u"content.xml"_s, odsContent(rows, sheetName)},
                  {u"META-INF/manifest.xml"_s, manifest}},
                 bytes);
}

} // namespace

Failure writeWorkbook(const QList<SheetRow>& rows, WorkbookKind kind, const QString& sheetName,
                      QByteArray& bytes)
{
    switch (kind) {
    case WorkbookKind::Xlsx:
        return xlsxOf(rows, sheetName, bytes);
    case WorkbookKind::Ods:
        return odsOf(rows, sheetName, bytes);
    case WorkbookKind::None:
        break;
    }
    return Failure::failed(u"formato del foglio di lavoro sconosciuto"_s);
}
