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

    // Appends one record's bytes (see encodeSavedRecord). On failure the file is left as it was.
    bool append(QByteArrayView recordBytes, QString* error = nullptr) const;

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
    QString m_path;
    int m_lockTimeout = 10000;
};
