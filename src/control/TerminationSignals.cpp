// SPDX-License-Identifier: MIT
#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {
int s_pipe[2] = {-1, -1};

void handle(int)
{
    // The signal may land between a call and the check of its errno anywhere in the program.
    const int savedErrno = errno;
    const char byte = 1;
    // Nothing but async-signal-safe calls here; a full pipe already has a wake-up in it.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
    errno = savedErrno;
}

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
} // namespace

TerminationSignals::TerminationSignals(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) == -1)
        return;
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(s_pipe[0], bytes, sizeof bytes) > 0) { }
        emit received();
    });
    struct sigaction action
    {
    };
    action.sa_handler = &handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    delete m_notifier;
    for (int &fd : s_pipe) {
        if (fd != -1)
            ::close(fd);
        fd = -1;
    }
}
