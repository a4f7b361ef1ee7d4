// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/files/FileHandle.h"

#include <QFileInfo>
#include <QString>

// The writers' lock of the archive at archivePath, held as another copy of the program holds it (the
// file layer's lock on "fillcp.dll.lock" beside it) until release() or the end of the object. A lock
// of another handle in this process turns the archive's writers away as another process would.
class HeldArchiveLock
{
public:
    explicit HeldArchiveLock(const QString& archivePath)
    {
        const QFileInfo archive(archivePath);
        if (!m_folder.open(archive.path()))
            return;
        DirectoryHandle::Opened lock = m_folder.openRegular(archive.fileName() + QStringLiteral(".lock"),
                                                            DirectoryHandle::Access::Read, true);
        if (lock.file.isOpen() && lock.file.lock(QDeadlineTimer(0)) == FileHandle::LockResult::Locked)
            m_file = std::move(lock.file);
    }

    bool held() const { return m_file.isOpen(); }
    void release()
    {
        m_file.close();
        m_folder = {};
    }

private:
    DirectoryHandle m_folder;
    FileHandle m_file;
};
