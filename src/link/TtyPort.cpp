// SPDX-License-Identifier: MIT
#include "TtyPort.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
void sleepFor(std::chrono::microseconds duration)
{
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
    timespec remaining {time_t(seconds.count()), long((duration - seconds).count() * 1000)};
    while (::nanosleep(&remaining, &remaining) == -1 && errno == EINTR) { }
}
} // namespace

TtyPort::TtyPort(const QStringList &devices, Consoles consoles)
    : m_devices(devices)
    , m_consoles(std::move(consoles))
{ }

TtyPort::~TtyPort()
{
    close();
}

QString TtyPort::device(quint16 portNumber) const
{
    return m_devices.value(portNumber - 1);
}

QStringList TtyPort::defaultDevices()
{
    return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
}

bool TtyPort::fail(LinkError::Reason reason, const QString &sentence, int code)
{
    m_error = {reason, sentence.arg(m_device, QString::fromLocal8Bit(std::strerror(code))), code};
    return false;
}

QString TtyPort::openFailure()
{
    return tr("Seadet %1 ei saa avada: %2.");
}

bool TtyPort::open()
{
    close();
    m_error = {};
    if (portNumber() < 1 || portNumber() > m_devices.size()) {
        // Port 0 is the dialog's "---": nothing was chosen, so no device can be missing.
        m_error = portNumber() == 0
            ? LinkError {LinkError::Reason::OpenFailed, tr("Porti ei ole valitud."), 0}
            : LinkError {LinkError::Reason::OpenFailed,
                tr("Pordil %1 ei ole seadet.").arg(portNumber()), ENODEV};
        return false;
    }
    m_device = m_devices.at(portNumber() - 1);
    // A frame toggles DTR and RTS and sends a character a hundred times a second, which on a
    // console lands in the system log and in front of whoever is logged in there. No relay board
    // is ever wired to one. The console list only changes with the kernel's command line, so it
    // is read once per device rather than a hundred times a second.
    if (m_device != m_checkedDevice) {
        m_checkedDevice = m_device;
        m_deviceIsConsole = isConsole(m_device);
        m_encodedDevice = QFile::encodeName(m_device);
    }
    if (m_deviceIsConsole) {
        m_error = {LinkError::Reason::ConsoleRefused,
            tr("%1 on süsteemi konsool, mitte releeplaat.").arg(m_device), 0};
        return false;
    }

    // No controlling terminal, and no wait for a carrier the board never raises.
    m_fd = ::open(m_encodedDevice.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd == -1)
        return fail(LinkError::Reason::OpenFailed, openFailure(), errno);
    // Another program that holds the port exclusively, or locks it as we do, keeps us out, and
    // while a frame is under way we keep it out. Both go with the descriptor.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == -1 || ::ioctl(m_fd, TIOCEXCL) == -1) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        close();
        return fail(LinkError::Reason::OpenFailed, openFailure(), code);
    }
    if (!configure()) {
        const LinkError error = m_error;
        close();
        m_error = error;
        return false;
    }
    return true;
}

bool TtyPort::configure()
{
    // Checked at every opening, since another program may have changed them in between: 9600
    // baud 8N1, raw, no flow control, so that DTR and RTS move only on our requests. They are
    // set only when they differ, which at a hundred frames a second is almost never.
    termios settings {};
    if (::tcgetattr(m_fd, &settings) == -1)
        return fail(LinkError::Reason::OpenFailed, openFailure(), errno);
    const termios found = settings;
    ::cfmakeraw(&settings);
    ::cfsetispeed(&settings, B9600);
    ::cfsetospeed(&settings, B9600);
    settings.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    if (std::memcmp(&settings, &found, sizeof settings) == 0)
        return true;
    if (::tcsetattr(m_fd, TCSANOW, &settings) == -1)
        return fail(LinkError::Reason::OpenFailed, openFailure(), errno);
    return true;
}

void TtyPort::close()
{
    m_dtr.reset();
    m_rts.reset();
    if (m_fd == -1)
        return;
    // Exclusive mode belongs to the terminal, not to our descriptor: left set, it would outlast
    // the close while any other program still holds the port open, and refuse our next frame.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
}

bool TtyPort::isConsole(const QString &device) const
{
    const std::optional<QStringList> consoles = m_consoles();
    if (!consoles)
        return false;
    // Follows links such as /dev/serial/by-id/... without opening anything.
    QString path = QFileInfo(device).canonicalFilePath();
    if (path.isEmpty())
        path = device;
    const QString devPrefix = QStringLiteral("/dev/");
    return path.startsWith(devPrefix) && consoles->contains(path.mid(devPrefix.size()));
}

bool TtyPort::setDtr(bool asserted)
{
    return setLine(TIOCM_DTR, m_dtr, asserted);
}

bool TtyPort::setRts(bool asserted)
{
    return setLine(TIOCM_RTS, m_rts, asserted);
}

bool TtyPort::setLine(int line, std::optional<bool> &level, bool asserted)
{
    // The sentences are made only on failure: a frame sets the lines many times a second.
    const auto failure = [line] {
        return line == TIOCM_DTR ? tr("Seadme %1 liini DTR ei saa seada: %2.")
                                 : tr("Seadme %1 liini RTS ei saa seada: %2.");
    };
    if (m_fd == -1)
        return fail(LinkError::Reason::LineFailed, failure(), EBADF);
    // A request for the level a line already has would change nothing on the wire, yet on a USB
    // adapter it still costs a transfer; a frame's DTR request repeats the bit before whenever
    // two neighbouring channels agree. Only levels this opening has set are trusted: those at
    // the opening are the kernel's.
    if (level == asserted)
        return true;
    level.reset();
    if (::ioctl(m_fd, asserted ? TIOCMBIS : TIOCMBIC, &line) == -1)
        return fail(LinkError::Reason::LineFailed, failure(), errno);
    level = asserted;
    return true;
}

bool TtyPort::transmit(const QByteArray &data)
{
    const auto failure = [] { return tr("Seadmesse %1 ei saa kirjutada: %2."); };
    if (m_fd == -1)
        return fail(LinkError::Reason::TransmitFailed, failure(), EBADF);
    if (::write(m_fd, data.constData(), size_t(data.size())) != data.size())
        return fail(LinkError::Reason::TransmitFailed, failure(), errno);
    return waitUntilSent();
}

bool TtyPort::waitUntilSent()
{
    // Closing with output pending makes the kernel wait up to 30 s for it, and tcdrain() has no
    // bound at all; a wedged adapter must not hold the writer for that long. So the kernel's
    // output queue is polled for a few character times, and what is left then is discarded. If
    // the queue cannot even be read, it is discarded as well, for the same reason.
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int pending = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &pending) == -1) {
            const int code = errno;
            ::tcflush(m_fd, TCOFLUSH);
            return fail(LinkError::Reason::TransmitFailed,
                tr("Seadme %1 väljundjärjekorda ei saa lugeda: %2."), code);
        }
        if (pending == 0)
            break;
        if (std::chrono::steady_clock::now() - start > kDrainLimit) {
            ::tcflush(m_fd, TCOFLUSH);
            m_error = {LinkError::Reason::TransmitFailed,
                tr("Seadme %1 väljund ei tühjenenud %2 µs jooksul.")
                    .arg(m_device)
                    .arg(kDrainLimit.count()),
                ETIMEDOUT};
            return false;
        }
        sleepFor(std::chrono::microseconds(100));
    }
    // An empty queue leaves the last character in the transmitter's shift register.
    sleepFor(kCharacterTime);
    return true;
}
