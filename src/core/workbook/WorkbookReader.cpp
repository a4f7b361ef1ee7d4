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
    QString reason;
    const bool isZip = bytes.startsWith("PK\x03\x04") && zip.open(bytes, reason);
    return kindOf(bytes, isZip ? &zip : nullptr);
}

struct WorkbookReader::Impl {
    WorkbookKind kind = WorkbookKind::None;
    Package package;
    QStringList names;
    XlsxBook xlsx;
    QByteArray sheetXml; // .ods: the document's content; .xlsx: the sheet being read
    std::unique_ptr<SheetStream> stream;
    QString error;

    // By sheet: whether its owner hid it (an .ods keeps that in its styles, not read here).
    QList<bool> hidden() const
    {
        return kind == WorkbookKind::Xlsx ? xlsx.hidden : QList<bool>(names.size());
    }
    bool openOds(QString& errorText);
};

bool WorkbookReader::Impl::openOds(QString& errorText)
{
    // An OpenDocument file saved with a password says so in its manifest; its parts are encrypted
    // and would read as damaged.
    QByteArray manifest;
    QString unread;
    if (package.has(u"META-INF/manifest.xml"_s) &&
        package.read(u"META-INF/manifest.xml"_s, manifest, unread) && manifest.contains("encryption-data")) {
        errorText = QString::fromUtf16(PasswordProtected);
        return false;
    }
    return package.read(u"content.xml"_s, sheetXml, errorText) &&
           readOdsTableNames(sheetXml, names, errorText);
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
        return readOdsTableNames(m->sheetXml, m->names, errorText);
    }
    if (!bytes.startsWith("PK\x03\x04")) {
        errorText = u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile."_s;
        return false;
    }
    QString reason;
    if (!m->package.open(bytes, reason)) {
        errorText =
            u"Il file non è un foglio di lavoro .xlsx o .ods: non è un archivio zip leggibile (%1)."_s.arg(
                reason);
        return false;
    }
    m->kind = kindOf(bytes, &m->package.zip());
    switch (m->kind) {
    case WorkbookKind::Ods:
        return m->openOds(errorText);
    case WorkbookKind::Xlsx:
        if (!readXlsxBook(m->package, m->xlsx, errorText))
            return false;
        m->names = m->xlsx.names;
        return true;
    case WorkbookKind::None:
        break;
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
    if (index < 0 || index >= m->names.size()) {
        errorText =
            u"Il foglio «%1» non c'è: i fogli del file sono %2."_s.arg(name, sheetNamesText(m->names));
        return false;
    }
    m->error.clear();
    if (m->kind == WorkbookKind::Ods) {
        m->stream = odsSheetStream(m->sheetXml, m->names[index]);
        return true;
    }
    const QString part = m->xlsx.parts[index];
    if (!m->package.read(part, m->sheetXml, errorText))
        return false;
    m->stream = xlsxSheetStream(part, m->sheetXml, m->xlsx);
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
