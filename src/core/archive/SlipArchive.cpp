#include "core/archive/SlipArchive.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

constexpr QFile::Permissions SharedFile = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Holds the writers' lock for the life of the object: an flock() on "fillcp.dll.lock", a file that
// stays beside the archive. The system drops the lock when its process ends, however it ends, so a
// writer killed half-way never blocks the next one.
class WriterLock
{
public:
    WriterLock(const QString& archivePath, int timeout) : m_lockPath(archivePath + u".lock"_s)
    {
        m_fd = ::open(QFile::encodeName(m_lockPath).constData(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
        if (m_fd < 0) {
            m_reason = qt_error_string(errno);
            return;
        }
        // Every user of the machine must be able to take it; only its owner can change that.
        ::fchmod(m_fd, 0666);
        const QDeadlineTimer deadline(timeout);
        for (;;) {
            if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
                m_locked = true;
                return;
            }
            if (errno != EWOULDBLOCK && errno != EINTR) {
                m_reason = qt_error_string(errno);
                ::close(m_fd);
                m_fd = -1;
                return;
            }
            if (deadline.hasExpired()) {
                m_busy = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~WriterLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    bool lock(const QString& archivePath, QString* error) const
    {
        if (m_locked)
            return true;
        if (m_busy)
            setError(error,
                     u"L'archivio %1 è in uso da un'altra copia del programma. Riprovare tra poco."_s.arg(
                         archivePath));
        else
            setError(
                error,
                u"Impossibile bloccare l'archivio %1 per scriverlo: il file %2 non si può aprire (%3)."_s.arg(
                    archivePath, m_lockPath, m_reason));
        return false;
    }

private:
    QString m_lockPath;
    QString m_reason;
    int m_fd = -1;
    bool m_locked = false;
    bool m_busy = false;
};

// Why a write of wanted bytes that wrote only written failed. A short write leaves no error code.
QString writeFailure(const QFileDevice& file, qint64 written, qint64 wanted)
{
    if (written >= 0 && written < wanted)
        return u"scrittura incompleta, il disco potrebbe essere pieno"_s;
    return file.errorString();
}

// True when the file is not empty and its last byte ends no line.
bool lacksFinalLineEnd(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0 || !file.seek(file.size() - 1))
        return false;
    char last = 0;
    return file.getChar(&last) && last != '\n' && last != '\r';
}

} // namespace

SlipArchive::SlipArchive(QString path) : m_path(std::move(path))
{
}

bool SlipArchive::ensureExists(QString* error) const
{
    if (QFileInfo::exists(m_path))
        return true;
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        setError(error, u"Impossibile creare l'archivio %1: %2."_s.arg(m_path, file.errorString()));
        return false;
    }
    file.setPermissions(SharedFile);
    return true;
}

bool SlipArchive::load(ArchiveTable& table, QString* error) const
{
    table.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, u"Impossibile aprire l'archivio %1: %2."_s.arg(m_path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFile::NoError) {
        setError(error, u"Impossibile leggere l'archivio %1: %2."_s.arg(m_path, file.errorString()));
        return false;
    }
    table = readArchive(bytes);
    return true;
}

bool SlipArchive::append(QByteArrayView recordBytes, QString* error) const
{
    const WriterLock lock(m_path, m_lockTimeout);
    if (!lock.lock(m_path, error))
        return false;
    return appendLocked(recordBytes, error);
}

bool SlipArchive::merge(const ArchiveTable& incoming, qsizetype* added, qsizetype* skipped,
                        QString* error) const
{
    if (added)
        *added = 0;
    if (skipped)
        *skipped = 0;
    const WriterLock lock(m_path, m_lockTimeout);
    if (!lock.lock(m_path, error))
        return false;
    ArchiveTable current;
    if (!load(current, error))
        return false;

    // A record's identity: its 16 values, each ended by a byte no value holds.
    auto key = [](const SlipRecord& record) {
        QByteArray bytes;
        for (int column = 0; column < RecordColumnCount; ++column)
            bytes.append(record.columnBytes(column)).append('\n');
        return bytes;
    };
    QSet<QByteArray> present;
    present.reserve(current.size() + incoming.size());
    for (const SlipRecord& record : std::as_const(current))
        present.insert(key(record));
    QByteArray bytes;
    qsizetype count = 0;
    for (const SlipRecord& record : incoming) {
        const QByteArray identity = key(record);
        if (present.contains(identity))
            continue;
        present.insert(identity);
        encodeRewrittenRecord(record, bytes);
        ++count;
    }
    if (count > 0 && !appendLocked(bytes, error))
        return false;
    if (added)
        *added = count;
    if (skipped)
        *skipped = incoming.size() - count;
    return true;
}

bool SlipArchive::appendLocked(QByteArrayView recordBytes, QString* error) const
{
    const bool existed = QFileInfo::exists(m_path);
    QByteArray bytes;
    // A file cut short inside a line would swallow the marker into that line.
    if (existed && lacksFinalLineEnd(m_path))
        bytes = "\r\n";
    bytes.append(recordBytes);

    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        setError(error,
                 u"Impossibile aprire l'archivio %1 per scriverlo: %2."_s.arg(m_path, file.errorString()));
        return false;
    }
    if (!existed)
        file.setPermissions(SharedFile);
    const qint64 before = file.size();
    const qint64 written = file.write(bytes);
    if (written == bytes.size())
        return true;

    const QString reason = writeFailure(file, written, bytes.size());
    if (!existed) {
        file.close();
        QFile::remove(m_path);
    } else if (!file.resize(before)) {
        setError(error, u"Impossibile scrivere nell'archivio %1: %2.\nL'ultimo salvataggio potrebbe essere "
                        u"incompleto."_s.arg(m_path, reason));
        return false;
    }
    setError(error, u"Impossibile scrivere nell'archivio %1: %2.\nL'archivio è rimasto com'era."_s.arg(
                        m_path, reason));
    return false;
}

SlipArchive::RemoveResult SlipArchive::remove(qsizetype index, const SlipRecord& expected,
                                              QString* error) const
{
    const WriterLock lock(m_path, m_lockTimeout);
    if (!lock.lock(m_path, error))
        return RemoveResult::Failed;

    ArchiveTable current;
    if (!load(current, error))
        return RemoveResult::Failed;
    if (index < 0 || index >= current.size() || current[index] != expected)
        return RemoveResult::Moved;

    const QByteArray bytes = encodeRewrittenArchive(current, index);

    // Unbuffered, so that a short write shows here: a buffered one is lost at commit unnoticed.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setError(error, u"Impossibile riscrivere l'archivio %1: %2.\nL'archivio è rimasto com'era."_s.arg(
                            m_path, file.errorString()));
        return RemoveResult::Failed;
    }
    file.setPermissions(SharedFile);
    const qint64 written = file.write(bytes);
    if (written != bytes.size()) {
        file.cancelWriting();
        setError(error, u"Impossibile riscrivere l'archivio %1: %2.\nL'archivio è rimasto com'era."_s.arg(
                            m_path, writeFailure(file, written, bytes.size())));
        return RemoveResult::Failed;
    }
    if (!file.commit()) {
        setError(error, u"Impossibile riscrivere l'archivio %1: %2.\nL'archivio è rimasto com'era."_s.arg(
                            m_path, file.errorString()));
        return RemoveResult::Failed;
    }
    return RemoveResult::Removed;
}
