// SPDX-License-Identifier: GPL-3.0-or-later
// The tests' own reach into a POSIX system: the file-size limit, permissions, links and FIFOs.
#include "FileSizeLimit.h"
#include "SystemFiles.h"

#include <QFile>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    m_previousCurrent = previous.rlim_cur;
    m_previousMaximum = previous.rlim_max;
    rlimit limit = previous;
    limit.rlim_cur = bytes == Unlimited ? RLIM_INFINITY : rlim_t(bytes);
    m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit previous{};
    previous.rlim_cur = rlim_t(m_previousCurrent);
    previous.rlim_max = rlim_t(m_previousMaximum);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, m_previousHandler);
}

bool FileSizeLimit::available()
{
    return true;
}

bool makeSymbolicLink(const QString& target, const QString& link, QString& why)
{
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0)
        return true;
    why = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}

bool hasPosixPermissions()
{
    return true;
}

int permissionsOf(const QString& path)
{
    struct stat status {
    };
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}

bool setPermissions(const QString& path, int mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

void setFileCreationMask(int mask)
{
    ::umask(mode_t(mask));
}

bool setOwner(const QString& path, quint32 user, quint32 group)
{
    return ::chown(QFile::encodeName(path).constData(), uid_t(user), gid_t(group)) == 0;
}

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

bool makeFifo(const QString& path, QString& why)
{
    if (::mkfifo(QFile::encodeName(path).constData(), 0600) == 0)
        return true;
    why = QString::fromLocal8Bit(std::strerror(errno));
    return false;
}
