// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/files/FileHandle.h"
#include "core/files/OutputFile.h"

#include <QByteArray>

// The temporary file's contents, gathered in a buffer and written in large pieces; the first failure's
// error is kept for the message.
class OutputFile::Device : public QIODevice
{
public:
    explicit Device(FileHandle file) : m_file(std::move(file))
    {
        m_buffer.reserve(Capacity);
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    FileHandle& file() { return m_file; }
    int error() const { return m_error; }
    // Writes out the buffer: false with error() set.
    bool drain()
    {
        if (m_error == 0 && !m_buffer.isEmpty() && !m_file.writeAll(m_buffer.constData(), m_buffer.size()))
            m_error = lastFileError();
        m_buffer.clear();
        return m_error == 0;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_error != 0)
            return -1;
        if (m_buffer.size() + size > Capacity && !drain())
            return -1;
        if (size >= Capacity) {
            if (!m_file.writeAll(data, qsizetype(size))) {
                m_error = lastFileError();
                return -1;
            }
            return size;
        }
        m_buffer.append(data, qsizetype(size));
        return size;
    }

private:
    static constexpr qsizetype Capacity = qsizetype(1) << 16;
    FileHandle m_file;
    int m_error = 0;
    QByteArray m_buffer;
};
