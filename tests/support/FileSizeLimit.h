// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>

// While alive, no file of this process can grow beyond the given size: writes past it fail as on a
// full disk. Root is bound by it too, unlike by file permissions. POSIX systems have it (setrlimit with
// SIGXFSZ ignored); Windows has no such limit, so there active() is false and a test that needs it
// skips with SKIP_WITHOUT_FILE_SIZE_LIMIT().
class FileSizeLimit
{
public:
    static constexpr qint64 Unlimited = -1;

    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }
    // Whether this system can limit the size of a process's files at all.
    static bool available();

private:
    quint64 m_previousCurrent = 0;
    quint64 m_previousMaximum = 0;
    void (*m_previousHandler)(int) = nullptr;
    bool m_active = false;
};

#define SKIP_WITHOUT_FILE_SIZE_LIMIT()                                                                       \
    do {                                                                                                     \
        if (!FileSizeLimit::available())                                                                     \
            QSKIP("this system cannot limit the size of a process's files: a full disk is tested on POSIX "  \
                  "systems only");                                                                           \
    } while (false)
