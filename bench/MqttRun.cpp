// SPDX-License-Identifier: MIT
#include "MqttRun.h"

#include "BrokerProbe.h"
#include "LatchLog.h"
#include "MosquittoBroker.h"
#include "PrivateBus.h"
#include "PseudoTerminal.h"
#include "Spread.h"
#include "TraceLog.h"
#include "UnclaimedPseudoTerminal.h"
#include "VirtualBoard.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>
#include <random>

namespace {
constexpr qint64 kConnectLimitNs = 10000000000;

void progress(const QString &text)
{
    std::fprintf(stderr, "relvoog-bench: %s\n", qPrintable(text));
}

// The window program or the service as its users start them, with its settings, state and the
// board's trace in a folder of its own, the service on a bus of its own; without a broker's port
// it has no [mqtt] section.
class Program
{
public:
    enum class Kind { Window, Service };

    Program(Kind kind, const QString &root, quint16 brokerPort)
        : m_root(root)
    {
        QFile settings(m_folder.filePath(QStringLiteral("relvoog.conf")));
        if (settings.open(QIODevice::WriteOnly) && brokerPort)
            settings.write(QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\ntopic=%2\n")
                               .arg(brokerPort)
                               .arg(root)
                               .toUtf8());
        settings.close();
        QProcessEnvironment environment = m_bus.environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("LD_PRELOAD"), VirtualBoard::libraryPath());
        environment.insert(QStringLiteral("VIRTUALBOARD_TRACE"), tracePath());
        // Their warnings come through, not every start's and connection's lines.
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.info=false"));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(
            kind == Kind::Window ? QStringLiteral(RELVOOG_PROGRAM) : QStringLiteral(RELVOOGD),
            {QStringLiteral("--port1"), m_ports[0]->slave(), QStringLiteral("--port2"),
                m_ports[1]->slave(), QStringLiteral("--config"), settings.fileName(),
                QStringLiteral("--state"), m_folder.filePath(QStringLiteral("state.conf"))});
        m_process.waitForStarted();
    }
    ~Program() { stop(); }

    QString root() const { return m_root; }
    QString tracePath() const { return m_folder.filePath(QStringLiteral("board.trace")); }
    QString device() const { return m_ports[0]->slave(); }

    // Frames would fill the lines if the masters were not read.
    void drain()
    {
        for (auto &port : m_ports)
            port->received();
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }
    // On the CPU so far, all threads or the one of the given name (the scheduler's nanoseconds,
    // finer than clock ticks).
    qint64 cpuNs(const QByteArray &thread = {}) const
    {
        qint64 sum = 0;
        const QString tasks = QStringLiteral("/proc/%1/task/").arg(m_process.processId());
        for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(tasks + task + QStringLiteral("/comm"));
            QFile schedstat(tasks + task + QStringLiteral("/schedstat"));
            if ((thread.isEmpty()
                    || (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == thread))
                && schedstat.open(QIODevice::ReadOnly))
                sum += schedstat.readAll().split(' ').value(0).toLongLong();
        }
        return sum;
    }

private:
    QString m_root;
    QTemporaryDir m_folder;
    PrivateBus m_bus;
    std::vector<std::unique_ptr<PseudoTerminal>> m_ports = unclaimedPseudoTerminals(2);
    QProcess m_process;
};

using Programs = std::vector<std::unique_ptr<Program>>;

void pause(Programs &programs, qint64 ns)
{
    const qint64 until = monotonicNs() + ns;
    while (monotonicNs() < until) {
        for (auto &program : programs)
            program->drain();
        QThread::usleep(std::min<qint64>(20000, std::max<qint64>(0, until - monotonicNs()) / 1000));
    }
}

bool allOnline(const BrokerProbe &probe, Programs &programs)
{
    const qint64 until = monotonicNs() + kConnectLimitNs;
    for (auto &program : programs) {
        while (probe.last(program->root() + QStringLiteral("/status")) != "online") {
            if (monotonicNs() > until)
                return false;
            pause(programs, 10000000);
        }
    }
    return true;
}

void put(MqttRun::Figures &figures, const QString &name, const char *figure,
    const std::vector<qint64> &sample, int missed)
{
    const Spread spread = Spread::of(sample);
    const QString key = name + QLatin1Char('_') + QLatin1String(figure);
    figures.insert(key + QStringLiteral("_median_ms"), spread.medianMs);
    figures.insert(key + QStringLiteral("_p99_ms"), spread.p99Ms);
    figures.insert(key + QStringLiteral("_max_ms"), spread.maxMs);
    figures.insert(key + QStringLiteral("_count"), spread.count);
    figures.insert(key + QStringLiteral("_missed"), missed);
}

// Every program switched by commands at random moments, 20 to 60 ms apart for each, in turn:
// channel k % 8 + 1 by its k-th command, on for eight commands and off for eight, so that the
// outputs count through sixteen values and a latched value tells which command it carries.
bool drive(
    quint16 port, Program::Kind kind, int count, const QString &name, MqttRun::Figures &figures)
{
    Programs programs;
    for (int i = 1; i <= count; ++i)
        programs.push_back(
            std::make_unique<Program>(kind, QStringLiteral("bench/%1").arg(i), port));
    BrokerProbe probe(port, {QStringLiteral("bench/#")});
    if (!probe.isConnected() || !allOnline(probe, programs))
        return false;
    pause(programs, 500000000);

    struct Sent
    {
        int program;
        QString state;
        QByteArray payload;
        LatchLog::Awaited awaited;
    };
    std::vector<Sent> sent;
    std::vector<unsigned> outputs(size_t(count), 0);
    std::mt19937 random(3);
    std::uniform_int_distribution<qint64> gapNs(20000000 / count, 60000000 / count);
    for (int i = 0; i < MqttRun::kCommands * count; ++i) {
        const int program = i % count;
        const int k = i / count;
        const int channel = k % 8 + 1;
        const bool on = (k / 8) % 2 == 0;
        unsigned &shown = outputs[size_t(program)];
        shown = on ? shown | 1u << (channel - 1) : shown & ~(1u << (channel - 1));
        const QString root = programs[size_t(program)]->root();
        const QByteArray payload = on ? "ON" : "OFF";
        const qint64 now = monotonicNs();
        probe.publish(root + QStringLiteral("/channel/%1/set").arg(channel), payload);
        sent.push_back({program, root + QStringLiteral("/channel/%1/state").arg(channel), payload,
            {now, shown, now + 1000000000}});
        pause(programs, gapNs(random));
    }
    pause(programs, 500000000);
    for (auto &program : programs)
        program->stop();

    std::vector<qint64> toLatch;
    std::vector<qint64> toState;
    int latchesMissed = 0;
    int statesMissed = 0;
    const QList<BrokerProbe::Message> messages = probe.messages();
    for (int p = 0; p < count; ++p) {
        std::vector<LatchLog::Awaited> awaited;
        std::vector<const Sent *> mine;
        for (const Sent &s : sent) {
            if (s.program == p) {
                awaited.push_back(s.awaited);
                mine.push_back(&s);
            }
        }
        const Program &program = *programs[size_t(p)];
        const std::vector<LatchLog::Latch> latched = LatchLog::firstServing(awaited,
            LatchLog::read(TraceLog(program.tracePath()), program.device()),
            [&awaited](
                int wait, unsigned value) { return value == awaited[size_t(wait)].outputs; });
        for (size_t i = 0; i < mine.size(); ++i) {
            if (latched[i].ns < 0) {
                ++latchesMissed;
                continue;
            }
            toLatch.push_back(latched[i].ns - mine[i]->awaited.fromNs);
            const auto state = std::find_if(
                messages.begin(), messages.end(), [&](const BrokerProbe::Message &m) {
                    return m.arrivedNs >= mine[i]->awaited.fromNs && m.topic == mine[i]->state
                        && m.payload == mine[i]->payload;
                });
            if (state == messages.end())
                ++statesMissed;
            else
                toState.push_back(state->arrivedNs - latched[i].ns);
        }
    }
    put(figures, name, "latch", toLatch, latchesMissed);
    put(figures, name, "state", toState, statesMissed);
    return true;
}

// The same program with and without MQTT, side by side at the same time.
bool idle(quint16 port, MqttRun::Figures &figures)
{
    Programs programs;
    programs.push_back(
        std::make_unique<Program>(Program::Kind::Window, QStringLiteral("bench/idle"), port));
    programs.push_back(
        std::make_unique<Program>(Program::Kind::Window, QStringLiteral("bench/plain"), 0));
    BrokerProbe probe(port, {QStringLiteral("bench/idle/status")});
    if (!probe.isConnected())
        return false;
    const qint64 until = monotonicNs() + kConnectLimitNs;
    while (probe.last(QStringLiteral("bench/idle/status")) != "online") {
        if (monotonicNs() > until)
            return false;
        pause(programs, 10000000);
    }
    pause(programs, 2000000000);
    const qint64 fromNs = monotonicNs();
    const qint64 mqttFrom = programs[0]->cpuNs();
    const qint64 threadFrom = programs[0]->cpuNs("mqtt");
    const qint64 plainFrom = programs[1]->cpuNs();
    pause(programs, qint64(MqttRun::kIdleSeconds) * 1000000000);
    const double wall = double(monotonicNs() - fromNs);
    figures.insert(QStringLiteral("idle_mqtt_cpu_percent"),
        100 * double(programs[0]->cpuNs() - mqttFrom) / wall);
    figures.insert(QStringLiteral("idle_plain_cpu_percent"),
        100 * double(programs[1]->cpuNs() - plainFrom) / wall);
    figures.insert(QStringLiteral("idle_thread_cpu_percent"),
        100 * double(programs[0]->cpuNs("mqtt") - threadFrom) / wall);
    return true;
}
} // namespace

MqttRun::Figures MqttRun::measure(QString *problem)
{
    Figures figures;
    // The broker as installed, and with set_tcp_nodelay, which its configuration may add.
    MosquittoBroker plain(MosquittoBroker::Access::Anonymous, false);
    MosquittoBroker noDelay(MosquittoBroker::Access::Anonymous, true);
    if (!plain.start() || !noDelay.start()) {
        *problem = plain.problem() + noDelay.problem();
        return {};
    }
    progress(QStringLiteral("MQTT: %1 commands, mosquitto as installed").arg(kCommands));
    const Program::Kind window = Program::Kind::Window;
    const Program::Kind service = Program::Kind::Service;
    bool ok = drive(plain.port(), window, 1, QStringLiteral("one"), figures);
    progress(QStringLiteral("MQTT: %1 commands, mosquitto with set_tcp_nodelay").arg(kCommands));
    ok = ok && drive(noDelay.port(), window, 1, QStringLiteral("nodelay"), figures);
    progress(QStringLiteral("MQTT: four services, %1 commands each, both ways").arg(kCommands));
    ok = ok && drive(plain.port(), service, 4, QStringLiteral("four"), figures);
    ok = ok && drive(noDelay.port(), service, 4, QStringLiteral("fournodelay"), figures);
    progress(QStringLiteral("MQTT: idle %1 s beside the program without MQTT").arg(kIdleSeconds));
    ok = ok && idle(plain.port(), figures);
    if (!ok) {
        *problem = QStringLiteral("a program did not connect to the broker");
        return {};
    }
    return figures;
}
