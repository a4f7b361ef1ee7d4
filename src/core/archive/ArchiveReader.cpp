// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/archive/ArchiveReader.h"

#include "core/files/SystemError.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

Failure tooLarge(qint64 size, qint64 limit, const QString& path)
{
    if (size <= limit)
        return {};
    const auto megabytes = [](qint64 n) { return QString::number((n + (1 << 20) - 1) >> 20); };
    return Failure::failed(
        u"il file è troppo grande per essere letto (%1 MB, al massimo %2 MB). Spostare %3 altrove e "
        u"ricominciare con un archivio vuoto, o tenerne solo una parte"_s.arg(megabytes(size),
                                                                              megabytes(limit), path));
}

bool readWholeFile(const FileHandle& file, qint64 size, QByteArray& bytes)
{
    bytes = QByteArray(qsizetype(size), Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    qsizetype done = 0;
    const bool read = file.readFully(0, bytes.data(), bytes.size(), done);
    bytes.truncate(done);
    return read;
}

Failure readArchiveFile(const DirectoryHandle::Opened& file, qint64 limit, const QString& path,
                        QByteArray& bytes)
{
    if (Failure refusal = tooLarge(file.status.size, limit, path))
        return refusal;
    if (!readWholeFile(file.file, file.status.size, bytes))
        return Failure::failed(systemErrorText(lastFileError()));
    return {};
}

namespace {

// Below this size an archive is read first and cut into records after; above it, a second thread reads
// while this one cuts what has arrived, so that the list of a large archive is ready about when its
// last bytes are.
constexpr qint64 ReadAlongsideFrom = qint64(8) << 20;
constexpr qsizetype ReadChunk = qsizetype(4) << 20;

// The bytes of a file read by a second thread, chunk by chunk, into a buffer given to it.
class ChunkReader
{
public:
    ChunkReader(const FileHandle& file, char* data, qsizetype size) : m_file(file), m_data(data), m_size(size)
    {
    }
    ~ChunkReader()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    // False when no thread could be started.
    bool start()
    {
        try {
            m_thread = std::thread(&ChunkReader::run, this);
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Waits until more than seen bytes are there or the reading is over; the bytes read so far.
    qsizetype waitBeyond(qsizetype seen, bool& over)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_done > seen || m_over; });
        over = m_over && m_done == seen;
        return m_done;
    }

    // After the reading is over: the system's error of a failed read, or 0.
    int error() const { return m_error; }

private:
    void run()
    {
        qsizetype done = 0;
        int error = 0;
        while (done < m_size) {
            qsizetype got = 0;
            if (!m_file.readAt(done, m_data + done, qMin(ReadChunk, m_size - done), got)) {
                error = lastFileError();
                break;
            }
            if (got == 0)
                break; // cut short meanwhile
            done += got;
            const std::lock_guard lock(m_mutex);
            m_done = done;
            m_changed.notify_one();
        }
        const std::lock_guard lock(m_mutex);
        m_error = error;
        m_over = true;
        m_changed.notify_one();
    }

    const FileHandle& m_file;
    char* const m_data;
    const qsizetype m_size;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qsizetype m_done = 0;
    bool m_over = false;
    int m_error = 0;
};

} // namespace

Failure readArchiveTable(const DirectoryHandle::Opened& file, qint64 limit, const QString& path,
                         ArchiveTable& table)
{
    const qint64 size = file.status.size;
    if (size < ReadAlongsideFrom) {
        QByteArray bytes;
        if (Failure failure = readArchiveFile(file, limit, path, bytes))
            return failure;
        table = readArchive(bytes);
        return {};
    }
    if (Failure refusal = tooLarge(size, limit, path))
        return refusal;
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    ChunkReader reader(file.file, bytes.data(), bytes.size());
    if (!reader.start()) {
        if (!readWholeFile(file.file, size, bytes))
            return Failure::failed(systemErrorText(lastFileError()));
        table = readArchive(bytes);
        return {};
    }
    qsizetype read = 0;
    {
        ArchiveStreamReader records(bytes);
        for (bool over = false; !over;) {
            read = reader.waitBeyond(read, over);
            records.advance(read);
        }
        if (reader.error() == 0 && read == bytes.size()) {
            table = records.finish();
            return {};
        }
    }
    if (reader.error() != 0)
        return Failure::failed(systemErrorText(reader.error()));
    // The file was cut short while it was read: its records are those of the bytes that were there.
    bytes.truncate(read);
    table = readArchive(bytes);
    return {};
}

bool separatorAtEnd(const FileHandle& file, qint64 size, QByteArray& separator)
{
    for (qint64 span = 64 << 10;; span *= 4) {
        const qint64 from = qMax<qint64>(0, size - span);
        QByteArray tail(qsizetype(size - from), Qt::Uninitialized);
        qsizetype done = 0;
        if (!file.readFully(from, tail.data(), tail.size(), done))
            return false;
        tail.truncate(done);
        if (from == 0) {
            separator = separatorBeforeNewRecord(tail);
            return true;
        }
        if (const std::optional<QByteArray> found = separatorBeforeNewRecordFromTail(tail)) {
            separator = *found;
            return true;
        }
    }
}
