// SPDX-License-Identifier: MIT
#include "FrameCost.h"

#include "TraceLog.h"
#include "TtyPort.h"
#include "UnclaimedPseudoTerminal.h"
#include "VirtualBoard.h"

#include <QTemporaryDir>
#include <QThread>

#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kBlock = 500; // well below what a pseudo-terminal buffers before it is read

qint64 processCpuNs()
{
    timespec cpu {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return qint64(cpu.tv_sec) * 1000000000 + cpu.tv_nsec;
}

// Varies every bit from frame to frame; 37 is odd, so all 256 states come round.
quint8 pattern(int frame)
{
    return quint8(frame * 37);
}

RelayStates statesOf(quint8 outputs)
{
    RelayStates states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states[channel] = (outputs >> (channel - 1)) & 1;
    return states;
}

// The board's view of a device, without what differs between two devices by design: times,
// the process, the device name, the system call that caused a line change, the latch count.
QStringList boardEvents(const TraceLog &trace, const QString &device)
{
    QStringList events;
    for (const TraceLog::Event &event : trace.events(device)) {
        if (event.kind != QLatin1String("line") && event.kind != QLatin1String("board"))
            continue;
        QString text = event.kind + QLatin1Char(' ') + event.name;
        for (auto field = event.fields.cbegin(); field != event.fields.cend(); ++field)
            if (field.key() != QLatin1String("cause") && field.key() != QLatin1String("n"))
                text += QLatin1Char(' ') + field.key() + QLatin1Char('=') + field.value();
        events << text;
    }
    return events;
}
} // namespace

FrameCost::FrameCost()
    : m_portPty(std::move(unclaimedPseudoTerminals(1).front()))
    , m_board(std::make_unique<TtyPort>(QStringList {m_portPty->slave()}),
          RelayBoard::Threading::Inline)
    , m_bareDevice(m_barePty.slave().toLocal8Bit())
{
    // Told only when the outcome changes, so the last one told is every later frame's.
    QObject::connect(&m_board, &RelayBoard::frameWritten, &m_board,
        [this](quint16, RelayBoard::Frame, const LinkError &error) { m_lastError = error; });
}

bool FrameCost::setUpBareLine(const QByteArray &device)
{
    // 9600 baud, 8N1, raw, no flow control. HUPCL stays, as a serial port has it.
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios settings {};
    bool ok = ::tcgetattr(fd, &settings) == 0;
    ::cfmakeraw(&settings);
    settings.c_cflag = (settings.c_cflag & ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS)) | CS8
        | CLOCAL | CREAD | HUPCL;
    ok = ok && ::cfsetspeed(&settings, B9600) == 0 && ::tcsetattr(fd, TCSANOW, &settings) == 0;
    ::close(fd);
    return ok;
}

QString FrameCost::prepare()
{
    if (!m_portPty->isValid() || !m_barePty.isValid())
        return QStringLiteral("no pseudo-terminal");
    // The bare loop sets the line up once, as the serial component does at every opening.
    const bool ok = setUpBareLine(m_bareDevice);
    // Opening raised RTS, which the board took for a clock pulse; both boards start empty.
    VirtualBoard::control(QStringLiteral("forget ") + m_barePty.slave());
    return ok ? QString() : QStringLiteral("cannot set up %1").arg(m_barePty.slave());
}

// The wire sequence of a frame with nothing but the calls it needs, and the same closing wait
// as the serial component: until the kernel's queue is empty, then one character time for the
// strobe to leave the transmitter.
bool FrameCost::bareFrame(const QByteArray &device, quint8 outputs)
{
    const int fd = ::open(device.constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto line
        = [fd](unsigned long request, int bits) { return ::ioctl(fd, request, &bits) == 0; };
    bool ok = line(TIOCMBIC, TIOCM_RTS);
    for (int channel = 8; ok && channel >= 1; --channel)
        ok = line((outputs >> (channel - 1)) & 1 ? TIOCMBIS : TIOCMBIC, TIOCM_DTR)
            && line(TIOCMBIS, TIOCM_RTS) && line(TIOCMBIC, TIOCM_RTS);
    ok = ok && ::write(fd, "a", 1) == 1;
    for (int pending = 1; ok && pending > 0;) {
        ok = ::ioctl(fd, TIOCOUTQ, &pending) == 0;
        if (ok && pending > 0)
            QThread::usleep(100);
    }
    if (ok)
        QThread::usleep(TtyPort::kCharacterTime.count());
    ::close(fd);
    return ok;
}

bool FrameCost::writeFrame(Kind kind, quint8 outputs)
{
    switch (kind) {
    case Kind::WriteRelays:
        m_board.write(statesOf(outputs));
        return !m_lastError.failed();
    case Kind::WriteAllOff:
        m_board.write(RelayStates(), RelayBoard::Frame::AllOff);
        return !m_lastError.failed();
    case Kind::BareLoop:
    case Kind::BareLoopZeros:
        return bareFrame(m_bareDevice, outputs);
    }
    return false;
}

QString FrameCost::boardDevice(Kind kind) const
{
    return kind == Kind::WriteRelays || kind == Kind::WriteAllOff ? m_portPty->slave()
                                                                  : m_barePty.slave();
}

QString FrameCost::compareWire(int frames)
{
    QTemporaryDir dir;
    const QString tracePath = dir.filePath(QStringLiteral("wire.trace"));
    if (!dir.isValid() || !VirtualBoard::control(QStringLiteral("trace ") + tracePath))
        return QStringLiteral("cannot trace");
    for (int frame = 0; frame < frames; ++frame) {
        writeFrame(Kind::WriteRelays, pattern(frame));
        writeFrame(Kind::BareLoop, pattern(frame));
    }
    writeFrame(Kind::WriteAllOff, 0);
    writeFrame(Kind::BareLoopZeros, 0);
    VirtualBoard::control(QStringLiteral("trace"));
    m_portPty->received();
    m_barePty.received();

    const TraceLog trace(tracePath);
    const QStringList port = boardEvents(trace, m_portPty->slave());
    const QStringList bare = boardEvents(trace, m_barePty.slave());
    if (trace.latches(m_portPty->slave()).size() != frames + 1)
        return QStringLiteral("the serial component latched %1 of %2 frames")
            .arg(trace.latches(m_portPty->slave()).size())
            .arg(frames + 1);
    for (int i = 0; i < std::min(port.size(), bare.size()); ++i)
        if (port[i] != bare[i])
            return QStringLiteral("event %1: \"%2\" where the bare loop has \"%3\"")
                .arg(i)
                .arg(port[i], bare[i]);
    if (port.size() != bare.size())
        return QStringLiteral("%1 board events where the bare loop has %2")
            .arg(port.size())
            .arg(bare.size());
    return QString();
}

QList<FrameCost::Figures> FrameCost::measure(int framesPerKind)
{
    const QList<std::pair<Kind, QString>> kinds {
        {Kind::WriteRelays, QStringLiteral("WriteRelays")},
        {Kind::WriteAllOff, QStringLiteral("WriteAllOff")},
        {Kind::BareLoop, QStringLiteral("bare loop, same states as WriteRelays")},
        {Kind::BareLoopZeros, QStringLiteral("bare loop, all off")},
    };
    QList<Figures> figures;
    std::vector<std::vector<qint64>> durations(kinds.size());
    for (const auto &[kind, name] : kinds) {
        Figures f;
        f.kind = kind;
        f.name = name;
        figures << f;
        durations[figures.size() - 1].reserve(size_t(framesPerKind));
    }

    int written = 0;
    while (written < framesPerKind) {
        const int block = std::min(kBlock, framesPerKind - written);
        for (int k = 0; k < kinds.size(); ++k) {
            Figures &f = figures[k];
            const QString device = boardDevice(f.kind);
            const qint64 latchesBefore = VirtualBoard::state(device).latches;
            const bool zeros = f.kind == Kind::WriteAllOff || f.kind == Kind::BareLoopZeros;
            quint8 last = 0;
            const qint64 cpuBefore = processCpuNs();
            SystemCallCounter::start();
            for (int i = 0; i < block; ++i) {
                last = zeros ? 0 : pattern(written + i);
                const qint64 start = monotonicNs();
                const bool ok = writeFrame(f.kind, last);
                durations[k].push_back(monotonicNs() - start);
                f.failed += ok ? 0 : 1;
            }
            f.calls += SystemCallCounter::stop();
            f.cpuNs += processCpuNs() - cpuBefore;
            f.frames += block;
            const virtualboard_state board = VirtualBoard::state(device);
            f.latched += board.latches - latchesBefore;
            f.wrongOutputs += board.outputs == last ? 0 : 1;
        }
        m_portPty->received();
        m_barePty.received();
        written += block;
    }
    for (int k = 0; k < figures.size(); ++k)
        figures[k].duration = Spread::of(std::move(durations[k]));
    return figures;
}
