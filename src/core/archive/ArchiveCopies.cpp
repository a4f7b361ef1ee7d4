// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/ArchiveCopies.h"

#include "core/files/InputFile.h"
#include "core/files/OutputFile.h"
#include "core/files/SystemError.h"
#include "core/files/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// A regular file of this user's, not a link.
bool isOwnRegularFile(const QString& path)
{
    FileStatus status;
    return pathStatus(path, status) && status.kind == FileKind::Regular && status.owner == currentUserId();
}

QString recordsText(qsizetype count)
{
    return count == 1 ? u"1 bollettino"_s : u"%1 bollettini"_s.arg(count);
}

} // namespace

ArchiveCopies::ArchiveCopies(QString directory, const QString& archivePath)
    : m_directory(QDir::cleanPath(directory))
{
    // The per-user archive lies in the folder that holds this one; any other is a shared archive.
    const QString archiveFolder = QDir::cleanPath(QFileInfo(archivePath).absolutePath());
    const QString ownFolder = QDir::cleanPath(QFileInfo(m_directory).absolutePath());
    m_prefix = archiveFolder == ownFolder ? u"fillcp-personale"_s : u"fillcp-comune"_s;
}

Failure ArchiveCopies::ensureDirectory() const
{
    FileStatus status;
    if (!pathStatus(m_directory, status)) {
        int cause = 0;
        bool made = QDir().mkpath(QFileInfo(m_directory).absolutePath());
        if (made && !makePrivateDirectory(m_directory)) {
            made = false;
            cause = lastFileError();
        }
        if (!made) {
            const QString notMade = u"la cartella delle copie %1 non si può creare"_s.arg(m_directory);
            return Failure::failed(cause == 0 ? notMade : u"%1 (%2)"_s.arg(notMade, systemErrorText(cause)));
        }
        return {};
    }
    // Nobody but the user may write there (POSIX: group and others have no write bit).
    constexpr quint32 GroupOrOthersWrite = 0022;
    if (status.kind != FileKind::Directory || status.owner != currentUserId() ||
        (status.mode & GroupOrOthersWrite) != 0) {
        return Failure::failed(u"la cartella delle copie %1 non è una cartella privata dell'utente, quindi "
                               u"non viene usata"_s.arg(m_directory));
    }
    return {};
}

QString ArchiveCopies::countPath() const
{
    return m_directory + u'/' + m_prefix + u".conteggio"_s;
}

QList<ArchiveCopy> ArchiveCopies::copies() const
{
    // "<prefix>-YYYY-MM-DD.dll", read without a regular expression: copies are listed on a worker
    // thread, and on Windows the regular expressions' per-thread stack is freed at the thread's end in
    // an order MinGW's runtime gets wrong.
    const QString head = m_prefix + u'-';
    const QString tail = u".dll"_s;
    const qsizetype dateLength = 10;
    QList<ArchiveCopy> found;
    const QStringList names = QDir(m_directory).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString& name : names) {
        if (name.size() != head.size() + dateLength + tail.size() || !name.startsWith(head) ||
            !name.endsWith(tail))
            continue;
        const QStringView digits = QStringView(name).mid(head.size(), dateLength);
        const bool shaped = std::all_of(digits.begin(), digits.end(),
                                        [](QChar c) { return c == u'-' || (c >= u'0' && c <= u'9'); }) &&
                            digits[4] == u'-' && digits[7] == u'-';
        if (!shaped)
            continue;
        const QDate date = QDate::fromString(digits.toString(), Qt::ISODate);
        const QString path = m_directory + u'/' + name;
        if (date.isValid() && isOwnRegularFile(path))
            found.append({date, path});
    }
    std::sort(found.begin(), found.end(),
              [](const ArchiveCopy& a, const ArchiveCopy& b) { return a.date > b.date; });
    return found;
}

std::optional<qsizetype> ArchiveCopies::lastCount() const
{
    QByteArray bytes;
    if (!isOwnRegularFile(countPath()) || readInputFile(countPath(), 64, bytes))
        return std::nullopt;
    bool ok = false;
    const qlonglong count = bytes.trimmed().toLongLong(&ok);
    if (!ok || count < 0)
        return std::nullopt;
    return static_cast<qsizetype>(count);
}

Failure ArchiveCopies::recordCount(qsizetype count) const
{
    if (Failure failure = ensureDirectory())
        return failure;
    return writeOutputFile(countPath(), QByteArray::number(count) + '\n');
}

bool ArchiveCopies::hasCopyOf(QDate today) const
{
    const QList<ArchiveCopy> kept = copies();
    return !kept.isEmpty() && kept.front().date >= today;
}

Failure ArchiveCopies::keepCopy(const QByteArray& bytes, QDate today) const
{
    if (hasCopyOf(today))
        return {};
    if (Failure failure = ensureDirectory())
        return failure;
    const QString path = m_directory + u'/' + m_prefix + u'-' + today.toString(Qt::ISODate) + u".dll"_s;
    if (Failure failure = writeOutputFile(path, bytes))
        return failure;
    const QList<ArchiveCopy> kept = copies();
    for (qsizetype i = KeptCopies; i < kept.size(); ++i)
        QFile::remove(kept[i].path);
    return {};
}

QString shrunkArchiveNotice(const QString& archivePath, qsizetype now, qsizetype before,
                            const std::optional<ArchiveCopy>& newest)
{
    QString text = u"L'archivio %1 contiene %2, ma l'ultima volta che questo programma lo ha usato ne "
                   u"conteneva %3: qualcuno potrebbe averlo svuotato o sostituito."_s.arg(
                       archivePath, recordsText(now), QString::number(before));
    if (!newest)
        return text + u"\n\nNon c'è ancora nessuna copia di questo archivio."_s;
    return text + u"\n\nLa copia più recente, del %1, è %2.\nPer riprenderla, chiudere il programma e "
                  u"rimetterla al posto dell'archivio:\ncp \"%2\" \"%3\""_s.arg(
                      newest->date.toString(u"dd/MM/yyyy"_s), newest->path, archivePath);
}
