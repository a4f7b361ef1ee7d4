#pragma once

#include "core/archive/SlipRecord.h"

#include <QByteArrayView>
#include <QString>

// The archive file and the operations on it. The file is opened and closed within each call.
// Writers lock the file "fillcp.dll.lock" beside the archive: an append writes the whole record
// at once and a deletion rewrites the file atomically (temporary file, then rename), so a second copy
// of the application, or a crash, never leaves a torn record. Errors are Italian texts naming the file.
class SlipArchive
{
public:
    explicit SlipArchive(QString path);

    const QString& path() const { return m_path; }
    // How long a writer waits for another one to finish (default 10 s).
    void setLockTimeout(int milliseconds) { m_lockTimeout = milliseconds; }

    // Creates the empty file, readable and writable for all users, when there is none.
    bool ensureExists(QString* error = nullptr) const;

    // Reads every record. A missing file is an empty archive.
    bool load(ArchiveTable& table, QString* error = nullptr) const;

    // Appends one record's bytes (see encodeSavedRecord), or several records' one after the other, in
    // one write under the lock. On failure the file is left as it was: all the records or none.
    bool append(QByteArrayView recordBytes, QString* error = nullptr) const;

    // Appends the records of another archive (one brought from another machine, say) that are not
    // already in this one, in their order, in one write under the lock: all of them or, on failure,
    // none. A record is already there when its 16 values equal those of a record of this archive or
    // of one appended before it. added and skipped count the records.
    bool merge(const ArchiveTable& incoming, qsizetype* added, qsizetype* skipped,
               QString* error = nullptr) const;

    enum class RemoveResult {
        Removed,
        // The record at index is no longer the one given (another program changed the file):
        // nothing was written.
        Moved,
        Failed,
    };
    // Rewrites the file without its record at index, provided that record still equals expected.
    // The other records keep their order, in the rewrite shape.
    RemoveResult remove(qsizetype index, const SlipRecord& expected, QString* error = nullptr) const;

private:
    bool appendLocked(QByteArrayView recordBytes, QString* error) const;

    QString m_path;
    int m_lockTimeout = 10000;
};
