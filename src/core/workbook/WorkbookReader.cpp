// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/workbook/WorkbookReader.h"

#include "core/Failure.h"
#include "core/workbook/WorkbookFormats.h"

using namespace Qt::StringLiterals;
using namespace WorkbookFormats;

QString columnName(int column)
{
    return sheetColumnLetters(column);
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

// The one rule for what a file holds, for workbookKindOf and WorkbookReader::open alike: a flat
// OpenDocument sheet, or a zip whose parts are an .ods's (its type named first, or content.xml
// without an .xlsx workbook part) or an .xlsx's (its content types or its workbook part). zip is the
// package's directory when it could be read.
WorkbookKind kindOf(const QByteArray& bytes, const ZipReader* zip)
{
    if (isFlatOds(bytes))
        return WorkbookKind::Ods;
    if (!bytes.startsWith("PK\x03\x04"))
        return WorkbookKind::None;
    // The ODF package names its type first, uncompressed.
    const qsizetype type = bytes.indexOf(OdsMimeType);
    if (bytes.mid(30, 8) == "mimetype" && type >= 0 && type < 200)
        return WorkbookKind::Ods;
    if (!zip)
        return WorkbookKind::None;
    const bool xlsxWorkbook = zip->contains(u"xl/workbook.xml"_s);
    if (zip->contains(u"content.xml"_s) && !xlsxWorkbook)
        return WorkbookKind::Ods;
    if (xlsxWorkbook || zip->contains(u"[Content_Types].xml"_s))
        return WorkbookKind::Xlsx;
    return WorkbookKind::None;
}

} // namespace

WorkbookKind workbookKindOf(const QByteArray& bytes)
{
    ZipReader zip(0); // only the names are looked at
    const bool isZip = bytes.startsWith("PK\x03\x04") && !zip.open(bytes);
    return kindOf(bytes, isZip ? &zip : nullptr);
}

struct WorkbookReader::Impl {
    WorkbookKind kind = WorkbookKind::None;
    Package package;
    QStringList names;
    XlsxBook xlsx;
    QByteArray sheetXml; // .ods: the document's content; .xlsx: the sheet being read
    std::unique_ptr<SheetStream> stream;
    Failure unreadable; // the sheet's, once it cannot be read further

    // By sheet: whether its owner hid it (an .ods keeps that in its styles, not read here).
    QList<bool> hidden() const
    {
        return kind == WorkbookKind::Xlsx ? xlsx.hidden : QList<bool>(names.size());
    }
    Failure openOds();
};

Failure WorkbookReader::Impl::openOds()
{
    // An OpenDocument file saved with a password says so in its manifest; its parts are encrypted
    // and would read as damaged.
    QByteArray manifest;
    if (package.has(u"META-INF/manifest.xml"_s) && !package.read(u"META-INF/manifest.xml"_s, manifest) &&
        manifest.contains("encryption-data"))
        return Failure::failed(QString::fromUtf16(PasswordProtected));
    if (Failure failure = package.read(u"content.xml"_s, sheetXml))
        return failure;
    return readOdsTableNames(sheetXml, names);
}

WorkbookReader::WorkbookReader() : m(std::make_unique<Impl>())
{
}

WorkbookReader::~WorkbookReader() = default;

Failure WorkbookReader::open(const QByteArray& bytes)
{
    m = std::make_unique<Impl>();
    if (bytes.startsWith("\xD0\xCF\x11\xE0")) {
        return Failure::failed(
            isEncryptedOoxml(bytes)
                ? QString::fromUtf16(PasswordProtected)
                : u"Il file è un foglio di Excel 97-2003 (.xls): aprirlo e salvarlo come .xlsx o .ods."_s);
    }
    if (isFlatOds(bytes)) {
        m->kind = WorkbookKind::Ods;
        m->sheetXml = bytes;
        return readOdsTableNames(m->sheetXml, m->names);
    }
    const QString notZip =
        u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile"_s;
    if (!bytes.startsWith("PK\x03\x04"))
        return Failure::failed(notZip + u'.');
    if (const Failure failure = m->package.open(bytes))
        return Failure::failed(u"%1 (%2)."_s.arg(notZip, failure.text()));
    m->kind = kindOf(bytes, &m->package.zip());
    switch (m->kind) {
    case WorkbookKind::Ods:
        return m->openOds();
    case WorkbookKind::Xlsx:
        if (Failure failure = readXlsxBook(m->package, m->xlsx))
            return failure;
        m->names = m->xlsx.names;
        return {};
    case WorkbookKind::None:
        break;
    }
    return Failure::failed(u"Il file è un archivio zip ma non un foglio di lavoro .xlsx o .ods."_s);
}

QStringList WorkbookReader::sheetNames() const
{
    return m->names;
}

Failure WorkbookReader::selectSheet(const QString& name)
{
    qsizetype index = -1;
    if (name.isEmpty()) {
        index = m->hidden().indexOf(false);
        if (index < 0)
            index = 0;
    } else {
        index = m->names.indexOf(name);
        for (qsizetype i = 0; index < 0 && i < m->names.size(); ++i) {
            if (m->names[i].compare(name, Qt::CaseInsensitive) == 0)
                index = i;
        }
    }
    if (index < 0 || index >= m->names.size())
        return Failure::failed(
            u"Il foglio «%1» non c'è: i fogli del file sono %2."_s.arg(name, sheetNamesText(m->names)));
    m->unreadable = {};
    m->stream.reset();
    if (m->kind == WorkbookKind::Ods) {
        m->stream = odsSheetStream(m->sheetXml, m->names[index]);
        return {};
    }
    const QString part = m->xlsx.parts[index];
    if (Failure failure = m->package.read(part, m->sheetXml))
        return failure;
    m->stream = xlsxSheetStream(part, m->sheetXml, m->xlsx);
    return {};
}

Failure WorkbookReader::next(SheetRow& row, bool& more)
{
    more = false;
    if (!m->stream || m->unreadable)
        return m->unreadable;
    m->unreadable = m->stream->next(row, more);
    return m->unreadable;
}

QString sheetNamesText(const QStringList& names)
{
    QStringList quoted;
    for (const QString& name : names)
        quoted.append(u"«%1»"_s.arg(name));
    return quoted.join(u", "_s);
}
