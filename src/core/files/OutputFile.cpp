// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/files/OutputFile.h"

#include "core/files/OutputFileDevice.h"
#include "core/files/SystemError.h"

#include <QDir>

using namespace Qt::StringLiterals;

OutputFile::OutputFile(QString path) : m_path(std::move(path))
{
}

OutputFile::~OutputFile()
{
    discard();
}

void OutputFile::discard()
{
    m_device.reset();
    if (!m_temporary.isEmpty()) {
        m_directory.remove(m_temporary);
        m_temporary.clear();
    }
    m_directory = {};
}

Failure OutputFile::failWith(const QString& cause)
{
    discard();
    return Failure::failed(u"impossibile scrivere %1: %2"_s.arg(QDir::toNativeSeparators(m_path), cause));
}

Failure OutputFile::fail(int error)
{
    return failWith(systemErrorText(error));
}

QIODevice& OutputFile::device()
{
    Q_ASSERT(m_device);
    return *m_device;
}

Failure writeOutputFile(const QString& path, QByteArrayView bytes)
{
    OutputFile file(path);
    if (Failure failure = file.open())
        return failure;
    // A failed write is kept by the device and told by the commit.
    file.device().write(bytes.data(), bytes.size());
    return file.commit();
}
