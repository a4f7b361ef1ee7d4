// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/archive/ArchiveJournal.h"

#include "core/archive/ArchiveReader.h"

#include "core/files/SystemError.h"

#include <QByteArray>
#include <QList>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The journal's text: a first line naming it, then the device, the file number and the size of the
// archive before the append, then a check sum of those two lines.
constexpr QByteArrayView JournalHeading("cedolario: giornale di ripristino 1\n");
constexpr qint64 JournalLargest = 256;

QString journalName(const QString& name)
{
    return name + u".journal"_s;
}

QByteArray journalText(const FileStatus& archive)
{
    QByteArray text = JournalHeading.toByteArray();
    text += QByteArray::number(archive.identity.device) + ' ' + QByteArray::number(archive.identity.index) +
            ' ' + QByteArray::number(archive.size) + '\n';
    text += QByteArray::number(qChecksum(text)) + '\n';
    return text;
}

struct JournalEntry {
    FileIdentity identity;
    qint64 size = 0;
};

std::optional<JournalEntry> parseJournal(const QByteArray& text)
{
    if (!text.startsWith(JournalHeading) || !text.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = text.sliced(JournalHeading.size()).chopped(1).split('\n');
    if (lines.size() != 2)
        return std::nullopt;
    bool ok = false;
    const quint16 sum = quint16(lines[1].toUInt(&ok));
    if (!ok || sum != qChecksum(text.first(text.size() - lines[1].size() - 1)))
        return std::nullopt;
    const QList<QByteArray> numbers = lines[0].split(' ');
    if (numbers.size() != 3)
        return std::nullopt;
    JournalEntry entry;
    bool okDevice = false;
    bool okIndex = false;
    bool okSize = false;
    entry.identity.device = numbers[0].toULongLong(&okDevice);
    entry.identity.index = numbers[1].toULongLong(&okIndex);
    entry.size = numbers[2].toLongLong(&okSize);
    if (!okDevice || !okIndex || !okSize || entry.size < 0)
        return std::nullopt;
    return entry;
}

} // namespace

bool journalPresent(const DirectoryHandle& directory, const QString& name)
{
    FileStatus found;
    return directory.statusOf(journalName(name), found);
}

Failure recoverJournal(const DirectoryHandle& directory, const QString& name, const QString& path)
{
    const QString journal = journalName(name);
    FileStatus found;
    if (!directory.statusOf(journal, found)) {
        if (isFileError(lastFileError(), FileErrorKind::Missing))
            return {};
        return Failure::failed(systemErrorText(lastFileError()));
    }
    const auto refuse = [&](const QString& why) {
        return Failure::failed(
            u"il file di ripristino %1.journal %2, quindi l'archivio non viene toccato. Se nessun'altra "
            u"copia del programma sta salvando, controllare l'archivio ed eliminare %1.journal"_s.arg(path,
                                                                                                      why));
    };
    const QString notOurs = u"non è un giornale di questo programma"_s;
    const auto unreadable = [](const QString& cause) { return u"non si può leggere (%1)"_s.arg(cause); };
    if (found.kind == FileKind::Link)
        return refuse(u"è un collegamento simbolico"_s);
    DirectoryHandle::Opened opened = directory.openRegular(journal, DirectoryHandle::Access::Read, false);
    if (!opened.file.isOpen())
        return refuse(unreadable(opened.cause));
    if (opened.status.links != 1 || opened.status.size > JournalLargest)
        return refuse(notOurs);
    QByteArray text;
    if (!readWholeFile(opened.file, opened.status.size, text))
        return refuse(unreadable(systemErrorText(lastFileError())));
    // Not held while it is removed below: a system may keep the name of a file still open.
    opened.file.close();
    const std::optional<JournalEntry> entry = parseJournal(text);
    if (!entry)
        return refuse(notOurs);
    DirectoryHandle::Opened archive =
        directory.openRegular(name, DirectoryHandle::Access::WriteAppend, false);
    if (!archive.file.isOpen())
        return refuse(u"riguarda un archivio che non si può aprire (%1)"_s.arg(archive.cause));
    if (archive.status.identity != entry->identity)
        return refuse(u"riguarda un altro file"_s);
    if (archive.status.links != 1)
        return refuse(u"riguarda un archivio con più di un nome (collegamento fisico)"_s);
    if (archive.status.size < entry->size)
        return refuse(u"dice l'archivio più lungo di quanto sia"_s);
    // The append it announces came after it: an archive last written before the journal was made has
    // nothing of that append.
    if (archive.status.size > entry->size && opened.status.modified > archive.status.modified)
        return refuse(u"è più recente dell'ultima scrittura dell'archivio"_s);
    if (archive.status.size > entry->size && (!archive.file.truncate(entry->size) || !archive.file.flush())) {
        return Failure::failed(
            u"un salvataggio interrotto non si può annullare (%1)"_s.arg(systemErrorText(lastFileError())));
    }
    if (!directory.remove(journal) || !directory.flush()) {
        return Failure::failed(u"il file di ripristino %1.journal non si può eliminare (%2)"_s.arg(
            path, systemErrorText(lastFileError())));
    }
    return {};
}

Failure writeJournal(const DirectoryHandle& directory, const QString& name, const FileStatus& archive)
{
    const QString journal = journalName(name);
    const QString temporary = journal + u".nuovo"_s;
    directory.remove(temporary);
    const QByteArray text = journalText(archive);
    FileHandle out;
    const bool written = directory.createNew(temporary, DirectoryHandle::Access::WriteAppend, out) &&
                         out.writeAll(text.constData(), text.size()) && out.flush();
    // Closed before the rename, which a system may refuse for a file still open.
    out.close();
    if (!written || !directory.replace(temporary, journal) || !directory.flush()) {
        const int error = lastFileError();
        directory.remove(temporary);
        return Failure::failed(
            u"il file di ripristino %1 non si può scrivere (%2)"_s.arg(journal, systemErrorText(error)));
    }
    return {};
}

bool removeJournal(const DirectoryHandle& directory, const QString& name)
{
    return directory.remove(journalName(name)) && directory.flush();
}
