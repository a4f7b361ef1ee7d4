// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/archive/WriterLock.h"

#include "core/files/SystemError.h"

using namespace Qt::StringLiterals;

WriterLock::WriterLock(const DirectoryHandle& directory, const QString& name, int timeout)
    : m_directory(directory), m_name(name)
{
    const QDeadlineTimer deadline(timeout);
    for (;;) {
        DirectoryHandle::Opened lock = directory.openRegular(name, DirectoryHandle::Access::Read, true);
        if (!lock.file.isOpen()) {
            m_cause = lock.cause;
            m_outcome = Failed;
            return;
        }
        switch (lock.file.lock(deadline)) {
        case FileHandle::LockResult::Failed:
            m_cause = systemErrorText(lastFileError());
            m_outcome = Failed;
            return;
        case FileHandle::LockResult::Busy:
            m_outcome = Busy;
            return;
        case FileHandle::LockResult::Locked:
            break;
        }
        if (directory.nameIs(name, lock.file)) {
            m_file = std::move(lock.file);
            m_outcome = Locked;
            return;
        }
        if (deadline.hasExpired()) {
            m_outcome = Busy;
            return;
        }
    }
}

bool WriterLock::stillHeld() const
{
    return m_file.isOpen() && m_directory.nameIs(m_name, m_file);
}

Failure WriterLock::failure(const QString& archivePath) const
{
    switch (m_outcome) {
    case Locked:
        return {};
    case Busy:
        return Failure::busy(u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(archivePath));
    case Failed:
        break;
    }
    return Failure::failed(
        u"Impossibile bloccare l'archivio %1 per scriverlo: il file %1.lock non si può aprire (%2)."_s.arg(
            archivePath, m_cause));
}
