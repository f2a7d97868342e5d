// SPDX-License-Identifier: MIT
#include "DeviceClaim.h"

#ifdef Q_OS_WIN
// Windows opens a serial port for one program at a time, and the port is held for each frame;
// there is no name to claim between frames.
DeviceClaim::~DeviceClaim() = default;
void DeviceClaim::release() { }
DeviceClaim::Result DeviceClaim::claim(const QString &)
{
    return Result::Claimed;
}
#else

#include <QFile>
#include <QLoggingCategory>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_LOGGING_CATEGORY(lcRelayBoard)

namespace {
// A device is known by its number, so that /dev/ttyUSB0 and a link in /dev/serial/by-id/ that
// leads to it are one device, and two test runs with pseudo-terminals of their own never meet.
sockaddr_un claimAddress(dev_t device, socklen_t *length)
{
    const QByteArray name = "relvoog/tty/" + QByteArray::number(major(device)) + ':'
        + QByteArray::number(minor(device));
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace, which has no file.
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    *length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    return address;
}

QString userName(uid_t uid)
{
    const passwd *entry = ::getpwuid(uid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(uid);
}

// Whether the user could open the device for writing by its mode bits, as the kernel would
// decide it for a plain process of that user.
bool mayUse(uid_t uid, const struct stat &device)
{
    if (uid == 0 || (uid == device.st_uid && (device.st_mode & S_IWUSR)))
        return true;
    if (device.st_mode & S_IWOTH)
        return true;
    if (!(device.st_mode & S_IWGRP))
        return false;
    const passwd *entry = ::getpwuid(uid);
    if (!entry)
        return false;
    int count = 64;
    std::vector<gid_t> groups;
    do {
        groups.resize(size_t(count));
    } while (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) == -1
        && size_t(count) > groups.size());
    groups.resize(size_t(count));
    for (gid_t group : groups)
        if (group == device.st_gid)
            return true;
    return false;
}
} // namespace

DeviceClaim::~DeviceClaim()
{
    release();
}

void DeviceClaim::release()
{
    if (m_fd != -1)
        ::close(m_fd);
    m_fd = -1;
}

DeviceClaim::Result DeviceClaim::claim(const QString &device)
{
    release();
    m_holder.clear();
    struct stat status
    {
    };
    // stat() follows a link without opening anything.
    if (::stat(QFile::encodeName(device).constData(), &status) == -1)
        return Result::Absent;
    if (!S_ISCHR(status.st_mode))
        return Result::Claimed;
    socklen_t length = 0;
    const sockaddr_un address = claimAddress(status.st_rdev, &length);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Without a socket there is no claim to make; that alone is no reason to refuse the port.
    if (fd == -1)
        return Result::Claimed;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0) {
        // Listening lets a later claimant ask the kernel who holds the name.
        ::listen(fd, 4);
        m_fd = fd;
        return Result::Claimed;
    }
    ::close(fd);
    if (errno != EADDRINUSE)
        return Result::Claimed;

    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ucred holder {};
    socklen_t size = sizeof holder;
    const bool known = probe != -1
        && ::connect(probe, reinterpret_cast<const sockaddr *>(&address), length) == 0
        && ::getsockopt(probe, SOL_SOCKET, SO_PEERCRED, &holder, &size) == 0;
    if (probe != -1)
        ::close(probe);
    if (!known) {
        m_holder = tr("teine protsess");
        return Result::Refused;
    }
    // Another path to a device this process has claimed already.
    if (holder.pid == ::getpid())
        return Result::Claimed;
    m_holder = tr("protsess %1, kasutaja %2").arg(holder.pid).arg(userName(holder.uid));
    if (mayUse(holder.uid, status))
        return Result::Refused;
    qCWarning(lcRelayBoard).noquote()
        << tr("Seadet %1 hoiab %2, kes ei saa seda ise kasutada; seda ei arvestata.")
               .arg(device, m_holder);
    return Result::Claimed;
}
#endif
