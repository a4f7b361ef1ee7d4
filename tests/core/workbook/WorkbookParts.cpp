// SPDX-License-Identifier: GPL-3.0-or-later

#include "WorkbookParts.h"

using namespace Qt::StringLiterals;

namespace {

quint32 littleEndian(const QByteArray& bytes, qsizetype at, int width)
{
    quint32 value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | quint8(bytes[at + i]);
    return value;
}

} // namespace

QByteArray declaringSize(QByteArray zip, const QString& part, quint32 size)
{
    const QByteArray name = part.toUtf8();
    // Local header: name length at 26, name at 30, unpacked size at 22. Central record: name length
    // at 28, name at 46, unpacked size at 24.
    const struct {
        QByteArray signature;
        int nameLength, nameAt, sizeAt;
    } headers[] = {{QByteArray("PK\x03\x04"), 26, 30, 22}, {QByteArray("PK\x01\x02"), 28, 46, 24}};
    for (const auto& header : headers) {
        qsizetype at = -1;
        while ((at = zip.indexOf(header.signature, at + 1)) >= 0) {
            if (littleEndian(zip, at + header.nameLength, 2) == quint32(name.size()) &&
                zip.mid(at + header.nameAt, name.size()) == name)
                break;
        }
        if (at < 0)
            qFatal("declaringSize: no header for %s", name.constData());
        for (int i = 0; i < 4; ++i)
            zip[at + header.sizeAt + i] = char((size >> (8 * i)) & 0xFF);
    }
    return zip;
}

const QByteArray ContentTypes =
    R"(<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>)";
const QByteArray WorkbookRels =
    R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="/xl/sharedStrings.xml"/>)"
    R"(</Relationships>)";
// Styles by index: 0 General, 1 "00000", 2 built-in 14 (a date), 3 "0.00", 4 "@".
const QByteArray Styles =
    R"(<?xml version="1.0"?><styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts><numFmt numFmtId="164" formatCode="00000"/><numFmt numFmtId="165" formatCode="0.00"/></numFmts>)"
    R"(<cellStyleXfs><xf numFmtId="165"/></cellStyleXfs>)"
    R"(<cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/><xf numFmtId="165"/><xf numFmtId="49"/></cellXfs></styleSheet>)";

QByteArray workbookXml(bool system1904)
{
    return R"(<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
           R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr date1904=")" +
           QByteArray(system1904 ? "1" : "0") +
           R"("/><sheets><sheet name="Dati" sheetId="1" r:id="rId1"/></sheets></workbook>)";
}

// An .xlsx of one sheet "Dati" whose <sheetData> holds rows.
QByteArray xlsxOf(const QByteArray& rows, bool system1904, const QByteArray& strings, const QByteArray& after)
{
    const QByteArray sheet =
        R"(<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
        rows + "</sheetData>" + after + "</worksheet>";
    const QByteArray shared =
        R"(<?xml version="1.0"?><sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)" +
        strings + "</sst>";
    return zipOf({{u"[Content_Types].xml"_s, ContentTypes},
                  {u"xl/workbook.xml"_s, workbookXml(system1904)},
                  {u"xl/_rels/workbook.xml.rels"_s, WorkbookRels},
                  {u"xl/styles.xml"_s, Styles},
                  {u"xl/sharedStrings.xml"_s, shared},
                  {u"xl/worksheets/sheet1.xml"_s, sheet}});
}

// An .ods of one sheet "Dati" whose <table:table> holds rows.
QByteArray odsContentOf(const QByteArray& rows)
{
    return R"(<?xml version="1.0"?><office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
           R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">)"
           R"(<office:body><office:spreadsheet><table:table table:name="Dati">)" +
           rows + "</table:table></office:spreadsheet></office:body></office:document-content>";
}

QByteArray odsOf(const QByteArray& rows)
{
    return zipOf({{u"mimetype"_s, "application/vnd.oasis.opendocument.spreadsheet", true},
                  {u"content.xml"_s, odsContentOf(rows)}});
}
