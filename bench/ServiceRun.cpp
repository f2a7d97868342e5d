// SPDX-License-Identifier: MIT
#include "ServiceRun.h"

#include "FrameCost.h"
#include "PrivateBus.h"
#include "PseudoTerminal.h"
#include "TraceLog.h"
#include "UnclaimedPseudoTerminal.h"
#include "VirtualBoard.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <ctime>
#include <limits>

namespace {
constexpr qint64 kTickNs = 10 * 1000 * 1000;

// On-CPU time of all the process's threads, in nanoseconds.
qint64 cpuNs(qint64 pid)
{
    qint64 total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile schedstat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly))
            total += schedstat.readAll().split(' ').value(0).toLongLong();
    }
    return total;
}

double statusMb(qint64 pid, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toDouble() * 1024 / 1e6;
    return -1;
}

// Waits, reading the pseudo-terminals' masters empty meanwhile, as the line would be.
void pause(qint64 ns, const std::vector<PseudoTerminal *> &ptys)
{
    const qint64 until = monotonicNs() + ns;
    for (qint64 now = monotonicNs(); now < until; now = monotonicNs()) {
        for (PseudoTerminal *pty : ptys)
            pty->received();
        QThread::usleep(std::min<qint64>((until - now) / 1000, 100000));
    }
}

bool startService(QProcess &service, const PrivateBus &bus, const QTemporaryDir &folder,
    const QString &name, const std::vector<std::unique_ptr<PseudoTerminal>> &ports, bool traced)
{
    QProcessEnvironment environment = bus.environment();
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("LD_PRELOAD"), VirtualBoard::libraryPath());
    if (traced)
        environment.insert(
            QStringLiteral("VIRTUALBOARD_TRACE"), folder.filePath(name + QStringLiteral(".trace")));
    service.setProcessEnvironment(environment);
    service.setReadChannel(QProcess::StandardError);
    service.start(QStringLiteral(RELVOOGD),
        {QStringLiteral("--port1"), ports[0]->slave(), QStringLiteral("--port2"), ports[1]->slave(),
            QStringLiteral("--state"), folder.filePath(name + QStringLiteral(".conf")),
            QStringLiteral("--language"), QStringLiteral("en")});
    // Serving once it says which port is in use.
    while (service.waitForReadyRead(5000))
        if (service.peek(service.bytesAvailable()).contains("in use"))
            return true;
    return false;
}

void stop(QProcess &process)
{
    ::kill(pid_t(process.processId()), SIGTERM);
    if (!process.waitForFinished(5000))
        process.kill();
}
} // namespace

int ServiceRun::bareLoop(const QByteArray &device, int seconds)
{
    if (!FrameCost::setUpBareLine(device))
        return 1;
    // Every 10 ms on the clock, not 10 ms after each frame, as the service's tick.
    timespec next {};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (qint64 frames = qint64(seconds) * 1000000000 / kTickNs; frames > 0; --frames) {
        FrameCost::bareFrame(device, 0);
        next.tv_nsec += kTickNs;
        next.tv_sec += next.tv_nsec / 1000000000;
        next.tv_nsec %= 1000000000;
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    return 0;
}

ServiceRun::Figures ServiceRun::measure()
{
    Figures figures;
    PrivateBus bus;
    QTemporaryDir folder;
    const std::vector<std::unique_ptr<PseudoTerminal>> ports = unclaimedPseudoTerminals(2);
    PseudoTerminal barePty;
    const std::vector<PseudoTerminal *> all {ports[0].get(), ports[1].get(), &barePty};
    if (bus.address().isEmpty()) {
        figures.problem = QStringLiteral("dbus-daemon could not be started");
        return figures;
    }

    // Idle: all channels off and manual, as after a start, and the bare loop writing all off.
    QProcess service;
    QProcess bare;
    if (!startService(service, bus, folder, QStringLiteral("idle"), ports, false)) {
        figures.problem = QStringLiteral("relvoogd did not start: ")
            + QString::fromLocal8Bit(service.readAllStandardError());
        return figures;
    }
    bare.start(QCoreApplication::applicationFilePath(),
        {QString::fromLatin1(kBareLoopOption), barePty.slave(),
            QString::number(kWarmUpSeconds + kIdleSeconds + 1)});
    bare.waitForStarted();
    pause(qint64(kWarmUpSeconds) * 1000000000, all);
    const qint64 wallBefore = monotonicNs();
    const qint64 serviceBefore = cpuNs(service.processId());
    const qint64 bareBefore = cpuNs(bare.processId());
    pause(qint64(kIdleSeconds) * 1000000000, all);
    const double wall = double(monotonicNs() - wallBefore);
    figures.serviceCpuPercent = 100 * double(cpuNs(service.processId()) - serviceBefore) / wall;
    figures.bareCpuPercent = 100 * double(cpuNs(bare.processId()) - bareBefore) / wall;
    figures.rssMb = statusMb(service.processId(), "VmRSS:");
    figures.peakRssMb = statusMb(service.processId(), "VmHWM:");
    stop(service);
    bare.waitForFinished(5000);

    // Commands, each from a relvoogctl of its own, at random moments of the tick.
    if (!startService(service, bus, folder, QStringLiteral("commands"), ports, true)) {
        figures.problem = QStringLiteral("relvoogd did not start for the commands");
        return figures;
    }
    std::vector<qint64> started;
    for (int i = 0; i < kCommands; ++i) {
        QProcess client;
        client.setProcessEnvironment(bus.environment());
        started.push_back(monotonicNs());
        client.start(QStringLiteral(RELVOOGCTL),
            {i % 2 ? QStringLiteral("off") : QStringLiteral("on"), QStringLiteral("1")});
        client.waitForFinished(10000);
        pause(kTickNs * 2 + QRandomGenerator::global()->bounded(4 * kTickNs), all);
    }
    stop(service);

    // Channel 1 alternates, so each command's first latch of its outputs is its own.
    const TraceLog trace(folder.filePath(QStringLiteral("commands.trace")));
    QList<TraceLog::Event> latches;
    for (const TraceLog::Event &event : trace.events(ports[0]->slave()))
        if (event.kind == QLatin1String("board") && event.name == QLatin1String("latch"))
            latches << event;
    std::vector<qint64> toLatch;
    for (int i = 0; i < kCommands; ++i) {
        const unsigned outputs = i % 2 ? 0 : 1;
        // Before the next command, which latches the other outputs.
        const qint64 until
            = i + 1 < kCommands ? started[i + 1] : std::numeric_limits<qint64>::max();
        const auto latch
            = std::find_if(latches.cbegin(), latches.cend(), [&](const TraceLog::Event &event) {
                  const qint64 at = qint64(event.time * 1e9);
                  return at >= started[i] && at < until
                      && event.fields.value(QStringLiteral("value")).toUInt(nullptr, 16) == outputs;
              });
        if (latch == latches.cend())
            ++figures.missed;
        else
            toLatch.push_back(qint64(latch->time * 1e9) - started[i]);
    }
    figures.toLatch = Spread::of(std::move(toLatch));
    return figures;
}
