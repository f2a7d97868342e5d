// SPDX-License-Identifier: MIT
#pragma once

#include <QFile>
#include <QString>

#include <sys/inotify.h>
#include <unistd.h>

// Counts the openings of one file by any process, without touching the file itself.
class OpenWatch
{
public:
    explicit OpenWatch(const QString &path)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(m_fd, QFile::encodeName(path).constData(), IN_OPEN);
    }
    ~OpenWatch() { ::close(m_fd); }
    OpenWatch(const OpenWatch &) = delete;
    OpenWatch &operator=(const OpenWatch &) = delete;

    int openings() const
    {
        char buffer[4096];
        for (ssize_t size; (size = ::read(m_fd, buffer, sizeof buffer)) > 0;)
            m_openings += int(size / ssize_t(sizeof(inotify_event)));
        return m_openings;
    }

private:
    int m_fd;
    mutable int m_openings = 0;
};
