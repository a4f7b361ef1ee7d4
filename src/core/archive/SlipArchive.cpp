// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/archive/SlipArchive.h"

#include "core/archive/ArchiveDates.h"

#include "core/files/SystemError.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

QString archiveErrorText(int error)
{
    return systemErrorText(error);
}

namespace {

// Owns a file descriptor.
class Fd
{
public:
    Fd() = default;
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = other.m_fd;
            other.m_fd = -1;
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset()
    {
        if (m_fd >= 0) {
            const int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

// The result of opening a name in the archive's directory: a descriptor of a regular file, or why not.
struct Opened {
    Fd fd;
    struct stat status {
    };
    bool created = false;
    bool missing = false; // ENOENT without O_CREAT
    QString cause;        // empty on success
};

constexpr int SafeFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Opens name in dir with flags; with create, makes it first (exclusively) when it is missing and then
// gives it mode. Only regular files are accepted.
Opened openRegular(int dir, const char* name, int flags, bool create, mode_t mode)
{
    Opened result;
    for (int attempt = 0; attempt < 4; ++attempt) {
        int fd = ::openat(dir, name, flags | SafeFlags);
        if (fd < 0 && errno == ENOENT && create) {
            fd = ::openat(dir, name, flags | SafeFlags | O_CREAT | O_EXCL, mode);
            if (fd < 0 && errno == EEXIST)
                continue; // made by someone else meanwhile: open that one
            if (fd >= 0) {
                result.created = true;
                // Only a file made just now gets its permissions, whatever the umask.
                if (::fchmod(fd, mode) != 0) {
                    const int cause = errno;
                    ::close(fd);
                    ::unlinkat(dir, name, 0);
                    result.cause = archiveErrorText(cause);
                    return result;
                }
            }
        }
        if (fd < 0) {
            const int cause = errno;
            result.missing = cause == ENOENT;
            result.cause = archiveErrorText(cause);
            return result;
        }
        result.fd = Fd(fd);
        if (::fstat(fd, &result.status) != 0) {
            result.cause = archiveErrorText(errno);
            result.fd.reset();
            return result;
        }
        if (!S_ISREG(result.status.st_mode)) {
            result.cause = notRegularFileText(result.status.st_mode);
            result.fd.reset();
        }
        return result;
    }
    result.cause = archiveErrorText(EEXIST);
    return result;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// True when name in dir is, without following links, the file of fd.
bool nameStillIs(int dir, const char* name, int fd)
{
    struct stat byName {
    };
    struct stat byFd {
    };
    return ::fstatat(dir, name, &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &byFd) == 0 &&
           sameFile(byName, byFd);
}

// Writes all of bytes; false with errno set on failure (a short write without error is ENOSPC).
bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Asks the system to back the untouched buffer at data with large pages where it can: a large
// archive is then read with a few hundred page faults instead of tens of thousands. Only the whole
// large pages inside the buffer are named; a refusal changes nothing.
void adviseLargePages(char* data, qsizetype size)
{
#if defined(MADV_HUGEPAGE)
    constexpr quintptr LargePage = quintptr(2) << 20;
    const quintptr begin = (quintptr(data) + LargePage - 1) & ~(LargePage - 1);
    const quintptr end = (quintptr(data) + quintptr(size)) & ~(LargePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), size_t(end - begin), MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(size);
#endif
}

// Reads the whole regular file of fd, whose size is known, into bytes; false with errno set.
bool readAll(int fd, qint64 size, QByteArray& bytes)
{
    bytes = QByteArray(qsizetype(size), Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            break; // cut short meanwhile
        done += got;
    }
    bytes.truncate(done);
    return true;
}

// Waits for the lock of fd until deadline; false when it did not come, or on an error (set in error).
// A second thread blocks in flock() on a duplicate of fd, so the kernel hands it the lock the moment it
// is released: trying again now and then would seldom catch the instant between two saves of another
// copy. A wait given up leaves that thread blocked; if the lock comes to it later, it lets it go at once.
bool waitForLock(int fd, const QDeadlineTimer& deadline, int& error)
{
    // No time left: a waiter started now would only be abandoned, and when the lock came to it later
    // it would hold it for an instant, long enough to turn this program's own next try away.
    if (deadline.hasExpired())
        return false;
    struct Wait {
        std::mutex mutex;
        std::condition_variable done;
        bool over = false;
        bool abandoned = false;
        bool taken = false;
        int error = 0;
    };
    const int duplicate = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (duplicate < 0) {
        error = errno;
        return false;
    }
    auto wait = std::make_shared<Wait>();
    try {
        std::thread([wait, duplicate] {
            int result = 0;
            do {
                result = ::flock(duplicate, LOCK_EX);
            } while (result != 0 && errno == EINTR);
            const int cause = result == 0 ? 0 : errno;
            const std::lock_guard lock(wait->mutex);
            if (wait->abandoned && result == 0)
                ::flock(duplicate, LOCK_UN);
            ::close(duplicate);
            wait->over = true;
            wait->taken = result == 0;
            wait->error = cause;
            wait->done.notify_one();
        }).detach();
    } catch (const std::system_error&) {
        ::close(duplicate);
        error = EAGAIN;
        return false;
    }
    std::unique_lock lock(wait->mutex);
    wait->done.wait_for(lock, std::chrono::milliseconds(qMax<qint64>(0, deadline.remainingTime())),
                        [&] { return wait->over; });
    if (!wait->over) {
        wait->abandoned = true;
        return false;
    }
    error = wait->error;
    return wait->taken;
}

// The writers' lock, held for the life of the object: an flock() on "fillcp.dll.lock" beside the
// archive. The system drops it when its process ends, however it ends, so a writer killed half-way
// never blocks the next one. After taking it, the name is checked to be still the file locked: a lock
// file removed meanwhile locks nothing, so it is taken again on the new one.
class WriterLock
{
public:
    enum Outcome { Locked, Busy, Failed };

    WriterLock(int dir, const QByteArray& name, mode_t mode, int timeout) : m_dir(dir), m_name(name)
    {
        const QDeadlineTimer deadline(timeout);
        for (;;) {
            Opened lock = openRegular(dir, name.constData(), O_RDONLY, true, mode);
            if (!lock.fd.valid()) {
                m_cause = lock.cause;
                m_outcome = Failed;
                return;
            }
            bool taken = false;
            int error = 0;
            if (::flock(lock.fd.get(), LOCK_EX | LOCK_NB) == 0)
                taken = true;
            else if (errno != EWOULDBLOCK && errno != EINTR)
                error = errno;
            else
                taken = waitForLock(lock.fd.get(), deadline, error);
            if (error != 0) {
                m_cause = archiveErrorText(error);
                m_outcome = Failed;
                return;
            }
            if (!taken) {
                m_outcome = Busy;
                return;
            }
            if (taken && nameStillIs(dir, name.constData(), lock.fd.get())) {
                m_fd = std::move(lock.fd);
                m_outcome = Locked;
                return;
            }
            if (deadline.hasExpired()) {
                m_outcome = Busy;
                return;
            }
        }
    }

    Outcome outcome() const { return m_outcome; }
    const QString& cause() const { return m_cause; }
    // Still the lock file under its name: nobody removed or replaced it while it was held.
    bool stillHeld() const { return m_fd.valid() && nameStillIs(m_dir, m_name.constData(), m_fd.get()); }

    // The message of a lock that was not taken.
    QString message(const QString& archivePath) const
    {
        if (m_outcome == Busy)
            return u"L'archivio %1 è in uso da un'altra copia del programma."_s.arg(archivePath);
        return u"Impossibile bloccare l'archivio %1 per scriverlo: il file %1.lock non si può aprire (%2)."_s
            .arg(archivePath, m_cause);
    }

private:
    int m_dir;
    QByteArray m_name;
    Fd m_fd;
    Outcome m_outcome = Failed;
    QString m_cause;
};

// A short random suffix for a temporary file name.
QByteArray randomSuffix()
{
    return QByteArray::number(QRandomGenerator::system()->generate64(), 36);
}

} // namespace

SlipArchive::SlipArchive(QString path) : m_path(std::move(path))
{
    const qsizetype slash = m_path.lastIndexOf(u'/');
    m_directory = slash < 0 ? u"."_s : (slash == 0 ? u"/"_s : m_path.left(slash));
    m_directoryName = QFile::encodeName(m_directory);
    m_name = QFile::encodeName(m_path.mid(slash + 1));
    const int held = ::open(m_directoryName.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (held >= 0) {
        m_directoryHeld = std::shared_ptr<const int>(new int(held), [](const int* fd) {
            ::close(*fd);
            delete fd;
        });
    }
}

namespace {

// The archive's directory, opened; or why it cannot be.
struct Directory {
    Fd fd;
    mode_t fileMode = 0600;
    QString cause;
};

} // namespace

// Opens the directory and checks that it is still the one found at construction.
static Directory openDirectory(const QByteArray& name, const QString& directory, const int* held)
{
    Directory result;
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int cause = errno;
        if (cause == ENOENT)
            result.cause = u"la cartella %1 non esiste più"_s.arg(directory);
        else
            result.cause = u"la cartella %1 non si può aprire (%2)"_s.arg(directory, archiveErrorText(cause));
        return result;
    }
    result.fd = Fd(fd);
    struct stat status {
    };
    if (::fstat(fd, &status) != 0) {
        result.cause = archiveErrorText(errno);
        result.fd.reset();
        return result;
    }
    struct stat original {
    };
    if (held && (::fstat(*held, &original) != 0 || !sameFile(original, status))) {
        result.cause = u"la cartella %1 è stata rimossa e sostituita da un'altra mentre il programma era "
                       u"aperto"_s.arg(directory);
        result.fd.reset();
        return result;
    }
    // In a shared directory (setgid, the /var/mail model) the group writes the files too.
    result.fileMode = (status.st_mode & S_ISGID) ? 0660 : 0600;
    return result;
}

bool SlipArchive::ensureExists(QString& errorText) const
{
    const QString prefix = u"Impossibile creare l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directoryName, m_directory, m_directoryHeld.get());
    if (!dir.fd.valid()) {
        errorText = prefix + dir.cause + u'.';
        return false;
    }
    const Opened file = openRegular(dir.fd.get(), m_name.constData(), O_RDONLY, true, dir.fileMode);
    if (!file.fd.valid()) {
        errorText = prefix + file.cause + u'.';
        return false;
    }
    if (file.created && (::fsync(file.fd.get()) != 0 || ::fsync(dir.fd.get()) != 0)) {
        errorText = prefix + archiveErrorText(errno) + u'.';
        return false;
    }
    return true;
}

namespace {

// The cause that refuses an archive beyond limit, or nothing.
std::optional<QString> tooLarge(qint64 size, qint64 limit, const QString& path)
{
    if (size <= limit)
        return std::nullopt;
    const auto megabytes = [](qint64 n) { return QString::number((n + (1 << 20) - 1) >> 20); };
    return u"il file è troppo grande per essere letto (%1 MB, al massimo %2 MB). Spostare %3 altrove e "
           u"ricominciare con un archivio vuoto, o tenerne solo una parte"_s.arg(megabytes(size),
                                                                                 megabytes(limit), path);
}

// Reads the archive open at file, refusing one beyond limit; true with bytes filled.
bool readArchiveFile(const Opened& file, qint64 limit, const QString& path, QByteArray& bytes, QString& cause)
{
    if (const std::optional<QString> refusal = tooLarge(file.status.st_size, limit, path)) {
        cause = *refusal;
        return false;
    }
    if (!readAll(file.fd.get(), file.status.st_size, bytes)) {
        cause = archiveErrorText(errno);
        return false;
    }
    return true;
}

// Below this size an archive is read first and cut into records after; above it, a second thread reads
// while this one cuts what has arrived, so that the list of a large archive is ready about when its
// last bytes are.
constexpr qint64 ReadAlongsideFrom = qint64(8) << 20;
constexpr qsizetype ReadChunk = qsizetype(4) << 20;

// The bytes of fd read by a second thread, chunk by chunk, into a buffer given to it.
class ChunkReader
{
public:
    ChunkReader(int fd, char* data, qsizetype size) : m_fd(fd), m_data(data), m_size(size) {}
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

    // After the reading is over: errno of a failed read, or 0.
    int error() const { return m_error; }

private:
    void run()
    {
        qsizetype done = 0;
        int error = 0;
        while (done < m_size) {
            const ssize_t got =
                ::pread(m_fd, m_data + done, size_t(qMin(ReadChunk, m_size - done)), off_t(done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                error = errno;
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

    const int m_fd;
    char* const m_data;
    const qsizetype m_size;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qsizetype m_done = 0;
    bool m_over = false;
    int m_error = 0;
};

// Reads the archive open at file, refusing one beyond limit, and cuts it into records.
bool readArchiveTable(const Opened& file, qint64 limit, const QString& path, ArchiveTable& table,
                      QString& cause)
{
    const qint64 size = file.status.st_size;
    if (size < ReadAlongsideFrom) {
        QByteArray bytes;
        if (!readArchiveFile(file, limit, path, bytes, cause))
            return false;
        table = readArchive(bytes);
        return true;
    }
    if (const std::optional<QString> refusal = tooLarge(size, limit, path)) {
        cause = *refusal;
        return false;
    }
    QByteArray bytes(qsizetype(size), Qt::Uninitialized);
    adviseLargePages(bytes.data(), bytes.size());
    ChunkReader reader(file.fd.get(), bytes.data(), bytes.size());
    if (!reader.start()) {
        if (!readAll(file.fd.get(), size, bytes)) {
            cause = archiveErrorText(errno);
            return false;
        }
        table = readArchive(bytes);
        return true;
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
            return true;
        }
    }
    if (reader.error() != 0) {
        cause = archiveErrorText(reader.error());
        return false;
    }
    // The file was cut short while it was read: its records are those of the bytes that were there.
    bytes.truncate(read);
    table = readArchive(bytes);
    return true;
}

} // namespace

namespace {

// The rollback journal. Its text: a first line naming it, then the device, the inode and the size of the
// archive before the append, then a check sum of those two lines.
constexpr QByteArrayView JournalHeading("cedolario: giornale di ripristino 1\n");
constexpr qint64 JournalLargest = 256;

QByteArray journalText(const struct stat& archive)
{
    QByteArray text = JournalHeading.toByteArray();
    text += QByteArray::number(quint64(archive.st_dev)) + ' ' + QByteArray::number(quint64(archive.st_ino)) +
            ' ' + QByteArray::number(qint64(archive.st_size)) + '\n';
    text += QByteArray::number(qChecksum(text)) + '\n';
    return text;
}

struct JournalEntry {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
};

std::optional<JournalEntry> parseJournal(const QByteArray& text)
{
    if (!text.startsWith(JournalHeading) || !text.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = text.sliced(JournalHeading.size()).chopped(1).split('\n');
    if (lines.size() != 2)
        return std::nullopt;
    bool ok = false;
    const quint16 sum = quint16(lines[1].toUInt(&ok));
    if (!ok || sum != qChecksum(text.first(text.size() - lines[1].size() - 1)))
        return std::nullopt;
    const QList<QByteArray> numbers = lines[0].split(' ');
    if (numbers.size() != 3)
        return std::nullopt;
    JournalEntry entry;
    bool okDevice = false;
    bool okInode = false;
    bool okSize = false;
    entry.device = numbers[0].toULongLong(&okDevice);
    entry.inode = numbers[1].toULongLong(&okInode);
    entry.size = numbers[2].toLongLong(&okSize);
    if (!okDevice || !okInode || !okSize || entry.size < 0)
        return std::nullopt;
    return entry;
}

bool laterThan(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

enum class Recovery {
    NoJournal,
    RolledBack,
    // A journal that is not ours or not about this archive: nothing was touched.
    Refused,
    Failed,
};

// Under the writers' lock: undoes the append that the journal in dir describes, if there is one, and
// removes the journal. cause says why for Refused and Failed.
Recovery recoverJournal(const Directory& dir, const QByteArray& name, const QString& path, QString& cause)
{
    const QByteArray journal = name + ".journal";
    struct stat found {
    };
    if (::fstatat(dir.fd.get(), journal.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Recovery::NoJournal;
        cause = archiveErrorText(errno);
        return Recovery::Failed;
    }
    const auto refuse = [&](const QString& why) {
        cause =
            u"il file di ripristino %1.journal %2, quindi l'archivio non viene toccato. Se nessun'altra "
            u"copia "
            u"del programma sta salvando, controllare l'archivio ed eliminare %1.journal"_s.arg(path, why);
        return Recovery::Refused;
    };
    if (S_ISLNK(found.st_mode))
        return refuse(u"è un collegamento simbolico"_s);
    const Opened opened = openRegular(dir.fd.get(), journal.constData(), O_RDONLY, false, 0);
    if (!opened.fd.valid())
        return refuse(u"non si può leggere (%1)"_s.arg(opened.cause));
    if (opened.status.st_nlink != 1 || opened.status.st_size > JournalLargest)
        return refuse(u"non è un giornale di questo programma"_s);
    QByteArray text;
    if (!readAll(opened.fd.get(), opened.status.st_size, text))
        return refuse(u"non si può leggere (%1)"_s.arg(archiveErrorText(errno)));
    const std::optional<JournalEntry> entry = parseJournal(text);
    if (!entry)
        return refuse(u"non è un giornale di questo programma"_s);
    const Opened archive = openRegular(dir.fd.get(), name.constData(), O_WRONLY, false, 0);
    if (!archive.fd.valid())
        return refuse(u"riguarda un archivio che non si può aprire (%1)"_s.arg(archive.cause));
    if (quint64(archive.status.st_dev) != entry->device || quint64(archive.status.st_ino) != entry->inode)
        return refuse(u"riguarda un altro file"_s);
    if (archive.status.st_nlink != 1)
        return refuse(u"riguarda un archivio con più di un nome (collegamento fisico)"_s);
    if (archive.status.st_size < entry->size)
        return refuse(u"dice l'archivio più lungo di quanto sia"_s);
    // The append it announces came after it: an archive last written before the journal was made has
    // nothing of that append.
    if (archive.status.st_size > entry->size && laterThan(opened.status.st_mtim, archive.status.st_mtim))
        return refuse(u"è più recente dell'ultima scrittura dell'archivio"_s);
    if (archive.status.st_size > entry->size &&
        (::ftruncate(archive.fd.get(), off_t(entry->size)) != 0 || ::fsync(archive.fd.get()) != 0)) {
        cause = u"un salvataggio interrotto non si può annullare (%1)"_s.arg(archiveErrorText(errno));
        return Recovery::Failed;
    }
    if (::unlinkat(dir.fd.get(), journal.constData(), 0) != 0 || ::fsync(dir.fd.get()) != 0) {
        cause = u"il file di ripristino %1.journal non si può eliminare (%2)"_s.arg(path,
                                                                                    archiveErrorText(errno));
        return Recovery::Failed;
    }
    return Recovery::RolledBack;
}

// Writes the journal of an append to the archive whose state is archive, synced with its name; the
// name is taken only by a rename, so no half-written journal ever stands there.
bool writeJournal(const Directory& dir, const QByteArray& name, const struct stat& archive, QString& cause)
{
    const QByteArray journal = name + ".journal";
    const QByteArray temporary = journal + ".nuovo";
    ::unlinkat(dir.fd.get(), temporary.constData(), 0);
    const Fd out(
        ::openat(dir.fd.get(), temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | SafeFlags, dir.fileMode));
    const QByteArray text = journalText(archive);
    if (!out.valid() || ::fchmod(out.get(), dir.fileMode) != 0 ||
        !writeAll(out.get(), text.constData(), text.size()) || ::fsync(out.get()) != 0 ||
        ::renameat(dir.fd.get(), temporary.constData(), dir.fd.get(), journal.constData()) != 0 ||
        ::fsync(dir.fd.get()) != 0) {
        const int error = errno;
        ::unlinkat(dir.fd.get(), temporary.constData(), 0);
        cause = u"il file di ripristino %1 non si può scrivere (%2)"_s.arg(QFile::decodeName(journal),
                                                                           archiveErrorText(error));
        return false;
    }
    return true;
}

// Removes the journal once the append it guards is synced: from then on the append stays.
bool removeJournal(const Directory& dir, const QByteArray& name)
{
    const QByteArray journal = name + ".journal";
    return ::unlinkat(dir.fd.get(), journal.constData(), 0) == 0 && ::fsync(dir.fd.get()) == 0;
}

// The separator a new record needs after the file of fd, whose size is known, read from its last bytes
// only (more of them only when the last ones cannot tell); false with errno set.
bool separatorAtEnd(int fd, qint64 size, QByteArray& separator)
{
    for (qint64 span = 64 << 10;; span *= 4) {
        const qint64 from = qMax<qint64>(0, size - span);
        QByteArray tail(qsizetype(size - from), Qt::Uninitialized);
        qsizetype done = 0;
        while (done < tail.size()) {
            const ssize_t got =
                ::pread(fd, tail.data() + done, size_t(tail.size() - done), off_t(from + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                break;
            done += got;
        }
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

SlipArchive::FileState stateOf(const struct stat& status)
{
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size)};
}

} // namespace

bool SlipArchive::load(ArchiveTable& table, QString& errorText) const
{
    FileState seen;
    return load(table, seen, errorText);
}

bool SlipArchive::load(ArchiveTable& table, FileState& seen, QString& errorText) const
{
    table.clear();
    seen = {};
    const QString prefix = u"Impossibile leggere l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directoryName, m_directory, m_directoryHeld.get());
    if (!dir.fd.valid()) {
        errorText = prefix + dir.cause + u'.';
        return false;
    }
    // A journal left by a writer that was killed: its append is undone before anything is read. A
    // journal whose writer is still at work goes with it within the wait; one refused, or a lock that
    // cannot be had, leaves the file as it is for the next writer to report.
    struct stat journal {
    };
    if (::fstatat(dir.fd.get(), (m_name + ".journal").constData(), &journal, AT_SYMLINK_NOFOLLOW) == 0) {
        const WriterLock lock(dir.fd.get(), m_name + ".lock", dir.fileMode, m_lockTimeout);
        QString ignored;
        if (lock.outcome() == WriterLock::Locked)
            recoverJournal(dir, m_name, m_path, ignored);
    }
    const Opened file = openRegular(dir.fd.get(), m_name.constData(), O_RDONLY, false, 0);
    if (file.missing)
        return true;
    if (!file.fd.valid()) {
        errorText = prefix + file.cause + u'.';
        return false;
    }
    QString cause;
    if (!readArchiveTable(file, m_sizeLimit, m_path, table, cause)) {
        errorText = prefix + cause + u'.';
        return false;
    }
    struct stat after {
    };
    if (::fstat(file.fd.get(), &after) == 0 && after.st_size == file.status.st_size &&
        after.st_mtim.tv_sec == file.status.st_mtim.tv_sec &&
        after.st_mtim.tv_nsec == file.status.st_mtim.tv_nsec)
        seen = stateOf(file.status);
    return true;
}

SlipArchive::SnapshotResult SlipArchive::snapshot(QByteArray& bytes, QString& errorText) const
{
    bytes.clear();
    const QString prefix = u"Impossibile leggere l'archivio %1: "_s.arg(m_path);
    const Directory dir = openDirectory(m_directoryName, m_directory, m_directoryHeld.get());
    if (!dir.fd.valid()) {
        errorText = prefix + dir.cause + u'.';
        return SnapshotResult::Failed;
    }
    const WriterLock lock(dir.fd.get(), m_name + ".lock", dir.fileMode, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? SnapshotResult::Busy : SnapshotResult::Failed;
    }
    QString cause;
    switch (recoverJournal(dir, m_name, m_path, cause)) {
    case Recovery::NoJournal:
    case Recovery::RolledBack:
        break;
    case Recovery::Refused:
    case Recovery::Failed:
        errorText = prefix + cause + u'.';
        return SnapshotResult::Failed;
    }
    const Opened file = openRegular(dir.fd.get(), m_name.constData(), O_RDONLY, false, 0);
    if (file.missing)
        return SnapshotResult::Read;
    if (!file.fd.valid()) {
        errorText = prefix + file.cause + u'.';
        return SnapshotResult::Failed;
    }
    if (!readArchiveFile(file, m_sizeLimit, m_path, bytes, cause)) {
        bytes.clear();
        errorText = prefix + cause + u'.';
        return SnapshotResult::Failed;
    }
    return SnapshotResult::Read;
}

SlipArchive::WriteResult SlipArchive::append(QByteArrayView recordBytes, QString& errorText) const
{
    Appended where;
    return append(recordBytes, where, errorText);
}

SlipArchive::WriteResult SlipArchive::append(QByteArrayView recordBytes, Appended& where,
                                             QString& errorText) const
{
    return appendUnderLock(
        false, [recordBytes](const QByteArray&) { return recordBytes.toByteArray(); }, where, errorText);
}

SlipArchive::WriteResult SlipArchive::appendAll(const QList<QByteArray>& records, QString& errorText) const
{
    Appended where;
    return appendUnderLock(
        false,
        [&records](const QByteArray&) {
            QByteArray bytes;
            for (const QByteArray& record : records)
                bytes.append(record);
            return bytes;
        },
        where, errorText);
}

SlipArchive::WriteResult SlipArchive::merge(const ArchiveTable& incoming, MergeCounts& counts,
                                            QString& errorText, const StoredDateReader* dates) const
{
    counts = {};
    MergeCounts found;
    Appended where;
    const WriteResult result = appendUnderLock(
        true,
        [&](const QByteArray& existing) {
            // A record's identity: its 16 values, each ended by a byte no value holds; the date, when it
            // can be read, by the day it names.
            const auto key = [dates](const SlipRecord& record) {
                QByteArray bytes;
                const std::array<QByteArrayView, RecordColumnCount> values = record.columnViews();
                for (int column = 0; column < RecordColumnCount; ++column) {
                    if (column == DateColumn && dates) {
                        if (const std::optional<QDate> day = dates->read(record.column(DateColumn))) {
                            bytes.append('=').append(day->toString(Qt::ISODate).toLatin1()).append('\n');
                            continue;
                        }
                    }
                    bytes.append(values[column]).append('\n');
                }
                return bytes;
            };
            const ArchiveTable current = readArchive(existing);
            QSet<QByteArray> present;
            present.reserve(current.size());
            for (const SlipRecord& record : current)
                present.insert(key(record));
            QSet<QByteArray> seen;
            seen.reserve(incoming.size());
            QByteArray bytes;
            found = {};
            for (const SlipRecord& record : incoming) {
                const QByteArray identity = key(record);
                const bool repeated = seen.contains(identity);
                seen.insert(identity);
                if (present.contains(identity)) {
                    ++found.alreadyPresent;
                    continue;
                }
                if (repeated) {
                    ++found.repeatedInFile;
                    continue;
                }
                encodeRewrittenRecord(record, bytes);
                ++found.added;
            }
            return bytes;
        },
        where, errorText);
    if (result != WriteResult::Written)
        return result;
    counts = found;
    counts.skipped = found.alreadyPresent + found.repeatedInFile;
    return WriteResult::Written;
}

SlipArchive::WriteResult
SlipArchive::appendUnderLock(bool wholeFile,
                             const std::function<QByteArray(const QByteArray& existing)>& recordsFor,
                             Appended& where, QString& errorText) const
{
    where = {};
    const QString prefix = u"Impossibile scrivere nell'archivio %1: "_s.arg(m_path);
    const QString unchanged = u"\nL'archivio è rimasto com'era."_s;
    const Directory dir = openDirectory(m_directoryName, m_directory, m_directoryHeld.get());
    if (!dir.fd.valid()) {
        errorText = prefix + dir.cause + u'.' + unchanged;
        return WriteResult::Failed;
    }
    const WriterLock lock(dir.fd.get(), m_name + ".lock", dir.fileMode, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? WriteResult::Busy : WriteResult::Failed;
    }
    QString recoveryCause;
    switch (recoverJournal(dir, m_name, m_path, recoveryCause)) {
    case Recovery::NoJournal:
    case Recovery::RolledBack:
        break;
    case Recovery::Refused:
    case Recovery::Failed:
        errorText = prefix + recoveryCause + u'.' + unchanged;
        return WriteResult::Failed;
    }

    // The archive may be replaced under us only by a writer that ignored a lock removed by someone:
    // then what was appended went to a file that is no longer the archive, and it is appended again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Opened file =
            openRegular(dir.fd.get(), m_name.constData(), O_RDWR | O_APPEND, true, dir.fileMode);
        if (!file.fd.valid()) {
            errorText = prefix + file.cause + u'.' + unchanged;
            return WriteResult::Failed;
        }
        if (file.status.st_nlink > 1) {
            errorText = prefix + u"il file ha più di un nome (collegamento fisico) e non viene scritto."_s +
                        unchanged;
            return WriteResult::Failed;
        }
        QByteArray existing;
        QString cause;
        // An archive too large to list is not made larger: its user is told to move it first.
        if (const std::optional<QString> refusal = tooLarge(file.status.st_size, m_sizeLimit, m_path)) {
            errorText = prefix + *refusal + u'.' + unchanged;
            return WriteResult::Failed;
        }
        if (wholeFile && !readArchiveFile(file, m_sizeLimit, m_path, existing, cause)) {
            errorText = prefix + cause + u'.' + unchanged;
            return WriteResult::Failed;
        }
        const QByteArray records = recordsFor(existing);
        if (records.isEmpty())
            return WriteResult::Written;
        // A record cut short by the end of the file is completed with empty lines, so that the new one
        // starts a record of its own instead of filling the cut one's values.
        QByteArray bytes;
        if (wholeFile) {
            bytes = separatorBeforeNewRecord(existing);
        } else if (!separatorAtEnd(file.fd.get(), file.status.st_size, bytes)) {
            errorText = prefix + archiveErrorText(errno) + u'.' + unchanged;
            return WriteResult::Failed;
        }
        where.padded = !bytes.isEmpty();
        bytes.append(records);
        const off_t before = off_t(file.status.st_size);
        const auto undo = [&](int cause) {
            if (file.created) {
                ::unlinkat(dir.fd.get(), m_name.constData(), 0);
                removeJournal(dir, m_name);
            } else if (::ftruncate(file.fd.get(), before) != 0 || ::fsync(file.fd.get()) != 0 ||
                       !removeJournal(dir, m_name)) {
                // The journal stays: whoever opens the archive next undoes the append.
                errorText =
                    prefix + archiveErrorText(cause) +
                    u".\nIl salvataggio incompleto sarà annullato alla prossima apertura dell'archivio."_s;
                return WriteResult::Failed;
            }
            errorText = prefix + archiveErrorText(cause) + u'.' + unchanged;
            return WriteResult::Failed;
        };
        if (!writeJournal(dir, m_name, file.status, cause)) {
            errorText = prefix + cause + u'.' + unchanged;
            return WriteResult::Failed;
        }
        if (m_interruptAfter >= 0) {
            writeAll(file.fd.get(), bytes.constData(), qMin(m_interruptAfter, bytes.size()));
            errorText = prefix + u"interrotto per prova"_s;
            return WriteResult::Failed;
        }
        if (!writeAll(file.fd.get(), bytes.constData(), bytes.size()) || ::fsync(file.fd.get()) != 0)
            return undo(errno);
        if (file.created && ::fsync(dir.fd.get()) != 0)
            return undo(errno);
        const bool stillTheArchive = nameStillIs(dir.fd.get(), m_name.constData(), file.fd.get());
        if (!removeJournal(dir, m_name))
            return undo(errno);
        if (stillTheArchive) {
            where.before = stateOf(file.status);
            struct stat after {
            };
            if (::fstat(file.fd.get(), &after) == 0)
                where.after = stateOf(after);
            return WriteResult::Written;
        }
    }
    errorText = prefix + u"il file è stato sostituito più volte durante il salvataggio. Riprovare."_s;
    return WriteResult::Failed;
}

SlipArchive::RemoveResult SlipArchive::remove(qsizetype index, const SlipRecord& expected,
                                              QString& errorText) const
{
    return rewriteUnderLock(
        [&](const ArchiveTable& current) -> std::optional<Rewrite> {
            if (index < 0 || index >= current.size() || current[index] != expected)
                return std::nullopt;
            Rewrite change;
            change.skip = index;
            return change;
        },
        false, errorText);
}

SlipArchive::RemoveResult SlipArchive::restore(qsizetype index, const SlipRecord& record,
                                               const std::optional<SlipRecord>& before,
                                               const std::optional<SlipRecord>& after,
                                               QString& errorText) const
{
    return rewriteUnderLock(
        [&](const ArchiveTable& current) -> std::optional<Rewrite> {
            Rewrite change;
            change.inserted = &record;
            const qsizetype size = current.size();
            // The record nearest to where it stood (another copy may have changed the archive since).
            const auto near = [&](const SlipRecord& wanted, qsizetype from) -> std::optional<qsizetype> {
                from = qBound(qsizetype(0), from, size);
                for (qsizetype distance = 0; distance <= size; ++distance) {
                    for (const qsizetype at : {from - distance, from + distance}) {
                        if (at >= 0 && at < size && current[at] == wanted)
                            return at;
                    }
                }
                return std::nullopt;
            };
            if (!before)
                change.insertAt = 0;
            else if (const std::optional<qsizetype> at = near(*before, index - 1))
                change.insertAt = *at + 1;
            else if (const std::optional<qsizetype> next = after ? near(*after, index) : std::nullopt)
                change.insertAt = *next;
            else
                change.insertAt = qBound(qsizetype(0), index, size);
            return change;
        },
        true, errorText);
}

SlipArchive::RemoveResult
SlipArchive::rewriteUnderLock(const std::function<std::optional<Rewrite>(const ArchiveTable&)>& edit,
                              bool restoring, QString& errorText) const
{
    const QString prefix = u"Impossibile riscrivere l'archivio %1: "_s.arg(m_path);
    const QString unchanged = u"\nL'archivio è rimasto com'era."_s;
    const Directory dir = openDirectory(m_directoryName, m_directory, m_directoryHeld.get());
    if (!dir.fd.valid()) {
        errorText = prefix + dir.cause + u'.' + unchanged;
        return RemoveResult::Failed;
    }
    const WriterLock lock(dir.fd.get(), m_name + ".lock", dir.fileMode, m_lockTimeout);
    if (lock.outcome() != WriterLock::Locked) {
        errorText = lock.message(m_path);
        return lock.outcome() == WriterLock::Busy ? RemoveResult::Busy : RemoveResult::Failed;
    }
    QString recoveryCause;
    switch (recoverJournal(dir, m_name, m_path, recoveryCause)) {
    case Recovery::NoJournal:
    case Recovery::RolledBack:
        break;
    case Recovery::Refused:
    case Recovery::Failed:
        errorText = prefix + recoveryCause + u'.' + unchanged;
        return RemoveResult::Failed;
    }

    const Opened file = openRegular(dir.fd.get(), m_name.constData(), O_RDONLY, false, 0);
    if (file.missing)
        return RemoveResult::Moved;
    if (!file.fd.valid()) {
        errorText = prefix + file.cause + u'.' + unchanged;
        return RemoveResult::Failed;
    }
    QByteArray bytes;
    QString cause;
    if (!readArchiveFile(file, m_sizeLimit, m_path, bytes, cause)) {
        errorText = prefix + cause + u'.' + unchanged;
        return RemoveResult::Failed;
    }
    const ArchiveTable current = readArchive(bytes);
    const std::optional<Rewrite> change = edit(current);
    if (!change)
        return RemoveResult::Moved;

    // The temporary file: its usual name, cleared first (only a crashed deletion leaves it, and the
    // name alone goes, never what a link there points to), else a random one. Made exclusively, so
    // nothing planted there is ever opened.
    QByteArray temporary = m_name + ".nuovo";
    ::unlinkat(dir.fd.get(), temporary.constData(), 0);
    Fd out;
    for (int attempt = 0; attempt < 8 && !out.valid(); ++attempt) {
        if (attempt > 0)
            temporary = m_name + ".nuovo-" + randomSuffix();
        out = Fd(::openat(dir.fd.get(), temporary.constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_EXCL | SafeFlags, dir.fileMode));
        if (!out.valid() && errno != EEXIST) {
            errorText = prefix +
                        u"il file temporaneo non si può creare (%1)."_s.arg(archiveErrorText(errno)) +
                        unchanged;
            return RemoveResult::Failed;
        }
    }
    if (!out.valid()) {
        errorText = prefix + archiveErrorText(EEXIST) + u'.' + unchanged;
        return RemoveResult::Failed;
    }
    const auto fail = [&](int cause) {
        ::unlinkat(dir.fd.get(), temporary.constData(), 0);
        errorText = prefix + archiveErrorText(cause) + u'.' + unchanged;
        return RemoveResult::Failed;
    };
    if (::fchmod(out.get(), dir.fileMode) != 0)
        return fail(errno);

    // Written in pieces of about a megabyte, so a long archive never doubles in memory.
    constexpr qsizetype Piece = 1 << 20;
    QByteArray buffer;
    buffer.reserve(Piece + 4096);
    for (qsizetype r = 0; r <= current.size(); ++r) {
        if (r == change->insertAt)
            encodeRewrittenRecord(*change->inserted, buffer);
        if (r == current.size() || r == change->skip)
            continue;
        encodeRewrittenRecord(current[r], buffer);
        if (buffer.size() >= Piece) {
            if (!writeAll(out.get(), buffer.constData(), buffer.size()))
                return fail(errno);
            buffer.clear();
        }
    }
    if (!writeAll(out.get(), buffer.constData(), buffer.size()) || ::fsync(out.get()) != 0)
        return fail(errno);

    // The lock removed while it was held: another writer may be appending to the archive right now.
    if (!lock.stillHeld()) {
        ::unlinkat(dir.fd.get(), temporary.constData(), 0);
        errorText = prefix + (restoring ? u"il file di blocco %1.lock è stato rimosso durante la scrittura, "
                                          u"quindi nulla è stato rimesso. Riprovare."_s
                                        : u"il file di blocco %1.lock è stato rimosso durante la "
                                          u"cancellazione, quindi nulla è stato cancellato. Riprovare."_s)
                                 .arg(m_path);
        return RemoveResult::Failed;
    }
    // Changed under us by a program that ignores the lock: deleting now would lose its change.
    struct stat now {
    };
    if (::fstatat(dir.fd.get(), m_name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 ||
        !sameFile(now, file.status) || now.st_size != qint64(bytes.size())) {
        ::unlinkat(dir.fd.get(), temporary.constData(), 0);
        return RemoveResult::Moved;
    }
    if (::renameat(dir.fd.get(), temporary.constData(), dir.fd.get(), m_name.constData()) != 0)
        return fail(errno);
    // A writer that took a lock file made anew in the instant between that check and the rename
    // appended to the file just replaced: its bytes follow the records in the new archive.
    struct stat old {
    };
    if (::fstat(file.fd.get(), &old) == 0 && old.st_size > qint64(bytes.size())) {
        QByteArray late;
        if (readAll(file.fd.get(), old.st_size, late) && late.size() > bytes.size()) {
            late.remove(0, bytes.size());
            if (!writeAll(out.get(), late.constData(), late.size()) || ::fsync(out.get()) != 0) {
                errorText = prefix + archiveErrorText(errno) +
                            u".\nUn salvataggio fatto nello stesso momento potrebbe mancare."_s;
                return RemoveResult::Failed;
            }
        }
    }
    if (::fsync(dir.fd.get()) != 0) {
        errorText = prefix + archiveErrorText(errno) +
                    (restoring ? u".\nIl bollettino rimesso potrebbe non essere stato registrato sul disco."_s
                               : u".\nLa cancellazione potrebbe non essere stata registrata sul disco."_s);
        return RemoveResult::Failed;
    }
    return RemoveResult::Removed;
}
