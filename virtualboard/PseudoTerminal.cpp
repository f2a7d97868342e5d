// SPDX-License-Identifier: MIT
#include "PseudoTerminal.h"

#include "VirtualBoard.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0)
        return;
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    // The kernel hands out the number of a closed pseudo-terminal again; this is a new device.
    VirtualBoard::control(QStringLiteral("forget ") + m_slave);
}

PseudoTerminal::~PseudoTerminal()
{
    if (m_master >= 0)
        ::close(m_master);
}

QByteArray PseudoTerminal::received()
{
    QByteArray all;
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            all.append(chunk, int(n));
            continue;
        }
        // EAGAIN: nothing more; EIO: no slave is open right now.
        if (n < 0 && errno == EINTR)
            continue;
        return all;
    }
}
