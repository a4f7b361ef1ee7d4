// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/Failure.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <optional>

// The user's own safety net for the archive he works on, shared or not: a copy a day of its bytes,
// kept for the last few days, and the number of records it held the last time this user's program
// saw it. Both live in a folder of the user's (by default $XDG_DATA_HOME/cedolario/copie, 0700), never
// beside a shared archive, so another member of the group can neither read nor remove them.
// Files there are named after the archive they are of: "fillcp-personale-2026-12-08.dll" and
// "fillcp-personale.conteggio" for the per-user archive, "fillcp-comune-…" for a shared one.

struct ArchiveCopy {
    QDate date;
    QString path;
};

class ArchiveCopies
{
public:
    // How many dated copies are kept.
    static constexpr int KeptCopies = 7;

    // The copies of the archive at archivePath, in directory (made 0700 when it is missing).
    ArchiveCopies(QString directory, const QString& archivePath);

    const QString& directory() const { return m_directory; }

    // The copies of this archive there, newest first.
    QList<ArchiveCopy> copies() const;

    // The number of records recorded last; none when there is none or it cannot be read.
    std::optional<qsizetype> lastCount() const;
    // Records count. The failure's text is a clause.
    Failure recordCount(qsizetype count) const;

    // Whether there is a copy dated today already.
    bool hasCopyOf(QDate today) const;
    // Writes bytes as the copy dated today (when there is none yet for today), then removes the oldest
    // beyond KeptCopies. The failure's text is a clause; what was kept before stays.
    Failure keepCopy(const QByteArray& bytes, QDate today) const;

private:
    Failure ensureDirectory() const;
    QString countPath() const;

    QString m_directory;
    QString m_prefix; // "fillcp-personale" or "fillcp-comune"
};

// What the user is told when the archive holds fewer records than it should: the archive, both counts,
// and how to put the newest copy back (or that there is none).
QString shrunkArchiveNotice(const QString& archivePath, qsizetype now, qsizetype before,
                            const std::optional<ArchiveCopy>& newest);
