// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/archive/OldArchive.h"

#include "core/archive/ArchiveMerge.h"
#include "core/archive/ArchiveReader.h"
#include "core/files/FileHandle.h"
#include "core/files/SystemError.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace {

// The file's records as they stand, or why not.
OldArchivePlace readPlace(const QString& path, qint64 sizeLimit, ArchiveTable& records)
{
    OldArchivePlace place;
    place.path = path;
    const QFileInfo info(path);
    DirectoryHandle folder;
    if (!folder.open(info.absolutePath())) {
        // No such folder is the common case (no SysWOW64 on a 32-bit system, no VirtualStore at all).
        const int error = lastFileError();
        if (!isFileError(error, FileErrorKind::Missing)) {
            place.kind = OldArchivePlace::Kind::Unreadable;
            place.cause = systemErrorText(error);
        }
        return place;
    }
    const DirectoryHandle::Opened file =
        folder.openRegular(info.fileName(), DirectoryHandle::Access::Read, false);
    if (file.missing)
        return place;
    if (!file.file.isOpen()) {
        place.kind = OldArchivePlace::Kind::Unreadable;
        place.cause = file.cause;
        return place;
    }
    if (const Failure failure = readArchiveTable(file, sizeLimit, path, records)) {
        place.kind = OldArchivePlace::Kind::Unreadable;
        place.cause = failure.text();
        return place;
    }
    place.kind = records.isEmpty() ? OldArchivePlace::Kind::Empty : OldArchivePlace::Kind::NothingNew;
    return place;
}

QString nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString slipsText(qsizetype count)
{
    return count == 1 ? u"1 bollettino"_s : u"%1 bollettini"_s.arg(count);
}

// "c'è 1 bollettino", "ci sono 3 bollettini".
QString thereAre(qsizetype count)
{
    return (count == 1 ? u"c'è "_s : u"ci sono "_s) + slipsText(count);
}

} // namespace

QList<OldArchivePlace> OldArchiveSearch::placesOf(OldArchivePlace::Kind kind) const
{
    QList<OldArchivePlace> found;
    std::copy_if(places.begin(), places.end(), std::back_inserter(found),
                 [kind](const OldArchivePlace& place) { return place.kind == kind; });
    return found;
}

OldArchiveSearch searchOldArchives(const QStringList& paths, const ArchiveTable& current,
                                   const StoredDateReader* dates, qint64 sizeLimit)
{
    OldArchiveSearch search;
    for (const QString& path : paths) {
        ArchiveTable records;
        OldArchivePlace place = readPlace(path, sizeLimit, records);
        if (!records.isEmpty()) {
            // Counted against the user's archive and the places before this one, as one import of all
            // of them counts: a VirtualStore copy of the same file brings nothing more.
            const qsizetype before = planMerge(current, search.incoming, dates).added;
            search.incoming.append(records);
            const qsizetype after = planMerge(current, search.incoming, dates).added;
            place.newSlips = after - before;
            if (place.newSlips > 0)
                place.kind = OldArchivePlace::Kind::NewSlips;
            search.newSlips = after;
        }
        search.places.append(place);
    }
    return search;
}

QString oldArchiveQuestion(const OldArchiveSearch& search)
{
    const QList<OldArchivePlace> found = search.placesOf(OldArchivePlace::Kind::NewSlips);
    if (found.isEmpty())
        return {};
    QString text;
    if (found.size() == 1) {
        text = u"Nel file %1, l'archivio di una versione precedente, %2 che il vostro archivio non ha."_s.arg(
            nativePath(found.first().path), thereAre(search.newSlips));
    } else {
        QStringList lines;
        for (const OldArchivePlace& place : found)
            lines.append(u"  %1: %2"_s.arg(nativePath(place.path), slipsText(place.newSlips)));
        text =
            u"Negli archivi di una versione precedente ci sono %1 che il vostro archivio non ha:\n%2"_s.arg(
                slipsText(search.newSlips), lines.join(u'\n'));
    }
    return text + u"\n\nAggiungerli al vostro archivio? I file vecchi restano come sono; questa domanda "
                  u"non verrà ripetuta, ma si potrà sempre usare \"Importa archivio…\"."_s;
}

QString oldArchiveUnreadableNotice(const OldArchiveSearch& search)
{
    const QList<OldArchivePlace> found = search.placesOf(OldArchivePlace::Kind::Unreadable);
    if (found.isEmpty())
        return {};
    QStringList lines;
    for (const OldArchivePlace& place : found)
        lines.append(u"  %1: %2"_s.arg(nativePath(place.path), place.cause));
    return u"L'archivio di una versione precedente non si è potuto leggere:\n%1\n\nSe contiene bollettini da "
           u"conservare, lo si può aggiungere più tardi con \"Importa archivio…\"."_s.arg(lines.join(u'\n'));
}
