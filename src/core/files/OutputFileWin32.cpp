// SPDX-License-Identifier: GPL-3.0-or-later
// Writing a file on the user's say on Windows: see OutputFile.h. The temporary file is made exclusively
// beside the name, written, flushed and closed, then put in place of the name in one step (the file
// layer's replace: MoveFileExW with write-through). What stands at the name is checked before writing
// and again just before the replace: a plain file or a link is replaced (the link itself, never what it
// points to); a folder or a device is refused.
#include "core/files/OutputFile.h"

#include "core/files/OutputFileDevice.h"
#include "core/files/SystemError.h"

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

// Why what stands at name in directory may not be replaced; empty when it may (or nothing stands
// there). error gets a failure of the system's to say what stands there.
QString refusalAt(const DirectoryHandle& directory, const QString& name, int& error)
{
    error = 0;
    FileStatus entry;
    if (!directory.statusOf(name, entry)) {
        if (!isFileError(lastFileError(), FileErrorKind::Missing))
            error = lastFileError();
        return {};
    }
    if (entry.kind == FileKind::Regular || entry.kind == FileKind::Link)
        return {};
    return notRegularFileText(entry.kind);
}

} // namespace

Failure OutputFile::open()
{
    discard();
    const qsizetype slash = qMax(m_path.lastIndexOf(u'/'), m_path.lastIndexOf(u'\\'));
    const QString directory = slash < 0 ? u"."_s : m_path.left(slash + 1);
    m_name = m_path.mid(slash + 1);
    if (m_name.isEmpty() || m_name == u"." || m_name == u"..")
        return failWith(u"manca il nome del file"_s);
    if (!m_directory.open(directory))
        return fail(lastFileError());
    int error = 0;
    const QString refusal = refusalAt(m_directory, m_name, error);
    if (error != 0)
        return fail(error);
    if (!refusal.isEmpty())
        return failWith(refusal);

    // A name beside the file's, short enough to be a valid name whatever the file's.
    const QString stem = u"."_s + m_name.left(200) + u".tmp-"_s;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString temporary = stem + QString::number(QRandomGenerator::system()->generate64(), 36);
        FileHandle file;
        if (m_directory.createNew(temporary, DirectoryHandle::Access::WriteAppend, file)) {
            m_temporary = temporary;
            m_device = std::make_unique<Device>(std::move(file));
            return {};
        }
        if (!isFileError(lastFileError(), FileErrorKind::Exists))
            return fail(lastFileError());
    }
    return fail(fileErrorNumber(FileErrorKind::Exists));
}

Failure OutputFile::commit()
{
    if (!m_device)
        return failWith(u"il file non è stato aperto"_s);
    if (!m_device->drain())
        return fail(m_device->error());
    if (!m_device->file().flush())
        return fail(lastFileError());
    // Closed before the replace, which Windows refuses for a file still open without sharing.
    m_device.reset();

    if (m_beforeRename)
        m_beforeRename();

    int error = 0;
    const QString refusal = refusalAt(m_directory, m_name, error);
    if (error != 0)
        return fail(error);
    if (!refusal.isEmpty())
        return failWith(refusal);
    if (!m_directory.replace(m_temporary, m_name))
        return fail(lastFileError());
    m_temporary.clear();
    discard();
    return {};
}
