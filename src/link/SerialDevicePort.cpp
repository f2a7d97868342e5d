#include "SerialDevicePort.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <sys/ioctl.h>
#include <termios.h>
#endif

SerialDevicePort::SerialDevicePort(const QStringList &devices, Consoles consoles)
    : m_devices(devices)
    , m_consoles(std::move(consoles))
{
    // Qt applies these at every opening, so each frame starts from the same line settings.
    m_serial.setBaudRate(QSerialPort::Baud9600);
    m_serial.setDataBits(QSerialPort::Data8);
    m_serial.setParity(QSerialPort::NoParity);
    m_serial.setStopBits(QSerialPort::OneStop);
    m_serial.setFlowControl(QSerialPort::NoFlowControl);
}

QStringList SerialDevicePort::defaultDevices()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
#else
    return {QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")};
#endif
}

bool SerialDevicePort::fail(LinkError::Reason reason, const QString &text)
{
    m_error = {reason, text};
    return false;
}

bool SerialDevicePort::open()
{
    m_error = {};
    m_lineLevels = {};
    if (portNumber() < 1 || portNumber() > m_devices.size())
        return fail(LinkError::Reason::OpenFailed,
            QStringLiteral("port %1 has no device").arg(portNumber()));

    const QString device = m_devices.at(portNumber() - 1);
    // A frame toggles DTR and RTS and sends a character a hundred times a second, which on a
    // console lands in the system log and in front of whoever is logged in there. No relay board
    // is ever wired to one.
    // The console list only changes with the kernel's command line, so it is read once per
    // device rather than a hundred times a second.
    if (device != m_checkedDevice) {
        m_checkedDevice = device;
        m_deviceIsConsole = isConsole(device);
    }
    if (m_deviceIsConsole)
        return fail(LinkError::Reason::ConsoleRefused,
            QStringLiteral("%1 is a system console, not a relay board").arg(device));
    m_serial.setPortName(device);
    // Qt opens without waiting for carrier. It refuses a device that another Qt program holds
    // (its lock file, which stops root too) or that another user holds exclusively; a lock file
    // of a program that is not Qt's is taken for stale.
    if (!m_serial.open(QIODevice::WriteOnly)) {
        const QString error = m_serial.errorString();
        m_serial.close();
        return fail(LinkError::Reason::OpenFailed, QStringLiteral("%1: %2").arg(device, error));
    }
    return true;
}

bool SerialDevicePort::isConsole(const QString &device) const
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

void SerialDevicePort::close()
{
    m_lineLevels = {};
    m_serial.close();
}

bool SerialDevicePort::requireOpen()
{
    // Qt would warn on every call; an all-off without a port makes 25 of them.
    return m_serial.isOpen()
        || fail(LinkError::Reason::LineFailed, QStringLiteral("port is not open"));
}

bool SerialDevicePort::setDtr(bool asserted)
{
    return setLine(Line::Dtr, asserted);
}

bool SerialDevicePort::setRts(bool asserted)
{
    return setLine(Line::Rts, asserted);
}

bool SerialDevicePort::setLine(Line line, bool asserted)
{
    if (!requireOpen())
        return false;
    // A request for the level a line already has would change nothing on the wire, yet on a USB
    // adapter it still costs a transfer; a frame's DTR request repeats the bit before whenever
    // two neighbouring channels agree. Only levels this opening has set are trusted: those at
    // the opening are the kernel's.
    std::optional<bool> &level = m_lineLevels[int(line)];
    if (level == asserted)
        return true;
    level.reset();
    const QString name = line == Line::Dtr ? QStringLiteral("DTR") : QStringLiteral("RTS");
#ifdef Q_OS_UNIX
    // Qt's setters read the lines back before every change, which doubles the requests of a
    // frame; on a USB adapter each request is a transfer of its own.
    int bits = line == Line::Dtr ? TIOCM_DTR : TIOCM_RTS;
    if (::ioctl(m_serial.handle(), asserted ? TIOCMBIS : TIOCMBIC, &bits) == -1)
        return fail(LinkError::Reason::LineFailed,
            QStringLiteral("%1: %2").arg(name, qt_error_string(errno)));
#else
    const bool set = line == Line::Dtr ? m_serial.setDataTerminalReady(asserted)
                                       : m_serial.setRequestToSend(asserted);
    if (!set)
        return fail(LinkError::Reason::LineFailed,
            QStringLiteral("%1: %2").arg(name, m_serial.errorString()));
#endif
    level = asserted;
    return true;
}

bool SerialDevicePort::transmit(const QByteArray &data)
{
    if (!requireOpen())
        return false;
    // Qt keeps written bytes in its own buffer until flush(), and close() would drop them.
    if (m_serial.write(data) != data.size() || !m_serial.flush())
        return fail(LinkError::Reason::TransmitFailed,
            QStringLiteral("write: %1").arg(m_serial.errorString()));
    return waitUntilSent();
}

bool SerialDevicePort::waitUntilSent()
{
#ifdef Q_OS_UNIX
    // Closing with output pending makes the kernel wait up to 30 s for it, and tcdrain() has no
    // bound at all; a wedged adapter must not hold the window for that long. So the kernel's
    // output queue is polled for a few character times, and what is left then is discarded.
    const int fd = m_serial.handle();
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        int pending = 0;
        if (::ioctl(fd, TIOCOUTQ, &pending) == -1)
            return fail(LinkError::Reason::TransmitFailed,
                QStringLiteral("TIOCOUTQ: %1").arg(qt_error_string(errno)));
        if (pending == 0)
            break;
        if (std::chrono::nanoseconds(elapsed.nsecsElapsed()) > kDrainLimit) {
            ::tcflush(fd, TCOFLUSH);
            return fail(LinkError::Reason::TransmitFailed,
                QStringLiteral("output did not drain within %1 us").arg(kDrainLimit.count()));
        }
        QThread::usleep(100);
    }
    // An empty queue leaves the last character in the transmitter's shift register.
    QThread::usleep(kCharacterTime.count());
    return true;
#else
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(kDrainLimit);
    if (m_serial.bytesToWrite() > 0 && !m_serial.waitForBytesWritten(int(limit.count()) + 1)) {
        m_serial.clear(QSerialPort::Output);
        return fail(LinkError::Reason::TransmitFailed, QStringLiteral("output did not drain"));
    }
    return true;
#endif
}
