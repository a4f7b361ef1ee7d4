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

bool OutputFile::failWith(const QString& cause, QString& errorText)
{
    errorText = u"impossibile scrivere %1: %2"_s.arg(QDir::toNativeSeparators(m_path), cause);
    discard();
    return false;
}

bool OutputFile::fail(int error, QString& errorText)
{
    return failWith(systemErrorText(error), errorText);
}

QIODevice& OutputFile::device()
{
    Q_ASSERT(m_device);
    return *m_device;
}

bool writeOutputFile(const QString& path, QByteArrayView bytes, QString& errorText)
{
    OutputFile file(path);
    if (!file.open(errorText))
        return false;
    // A failed write is kept by the device and told by the commit.
    file.device().write(bytes.data(), bytes.size());
    return file.commit(errorText);
}
