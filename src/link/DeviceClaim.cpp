#include "DeviceClaim.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <mutex>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// A device is known by its number, so that /dev/ttyUSB0 and a link in /dev/serial/by-id/ that
// leads to it are one device. stat() follows the link without opening anything.
QByteArray claimName(const QString &device)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(device).constData(), &status) == 0 && S_ISCHR(status.st_mode))
        return "relvoog/tty/" + QByteArray::number(major(status.st_rdev)) + ':'
            + QByteArray::number(minor(status.st_rdev));
    const QString path = QFileInfo(device).canonicalFilePath();
    return "relvoog/path/"
        + QCryptographicHash::hash(
            (path.isEmpty() ? device : path).toUtf8(), QCryptographicHash::Sha1)
              .toHex();
}
} // namespace

bool DeviceClaim::claim(const QString &device)
{
    static std::mutex mutex;
    static QSet<QByteArray> held;

    const QByteArray name = claimName(device);
    std::lock_guard<std::mutex> lock(mutex);
    if (held.contains(name))
        return true;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Without a socket there is no claim to make; that alone is no reason to refuse the port.
    if (fd == -1)
        return true;
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace, which has no file.
    std::memcpy(address.sun_path + 1, name.constData(), size_t(name.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == -1) {
        const int error = errno;
        ::close(fd);
        return error != EADDRINUSE;
    }
    // The descriptor stays open, and the claim with it, until the process ends.
    held.insert(name);
    return true;
}
