// SPDX-License-Identifier: MIT
#include "Benchmark.h"

#include "MqttRun.h"
#include "Spread.h"
#include "WindowRun.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <QThread>

#include <cstdio>

namespace {
constexpr int kFrames = 10000;
constexpr int kWireFrames = 32;

void progress(const QString &text)
{
    std::fprintf(stderr, "relvoog-bench: %s\n", qPrintable(text));
}

QString ms(double value)
{
    return QString::number(value, 'f', value < 10 ? 3 : 1);
}

QString met(bool ok)
{
    return ok ? QStringLiteral("met") : QStringLiteral("**missed**");
}

QString calls(const FrameCost::Figures &f)
{
    return QStringLiteral("%1 / %2 / %3 / %4 (device requests %5, of them line requests %6)")
        .arg(f.perFrame(f.calls.open), 0, 'f', 1)
        .arg(f.perFrame(f.calls.ioctl), 0, 'f', 1)
        .arg(f.perFrame(f.calls.write), 0, 'f', 1)
        .arg(f.perFrame(f.calls.close), 0, 'f', 1)
        .arg(f.perFrame(f.calls.deviceRequests), 0, 'f', 1)
        .arg(f.perFrame(f.calls.lineRequests), 0, 'f', 1);
}

QString latched(const FrameCost::Figures &f)
{
    QString text = QStringLiteral("%1 of %2 latched").arg(f.latched).arg(f.frames);
    if (f.failed)
        text += QStringLiteral(", %1 failed").arg(f.failed);
    if (f.wrongOutputs)
        text += QStringLiteral(", %1 blocks ended on wrong outputs").arg(f.wrongOutputs);
    return text;
}
} // namespace

int Benchmark::spin()
{
    // Stops by itself should the benchmark die before it can stop it.
    const qint64 until = monotonicNs() + qint64(60) * 1000000000;
    for (volatile unsigned long i = 0;; i = i + 1)
        if (i % (1 << 20) == 0 && monotonicNs() > until)
            return 0;
}

QString Benchmark::machine()
{
    QString model;
    QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuinfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QRegularExpression modelLine(
            QStringLiteral("^model name\\s*:\\s*(.*)$"), QRegularExpression::MultilineOption);
        model = modelLine.match(QString::fromLocal8Bit(cpuinfo.readAll())).captured(1);
    }
    return QStringLiteral("%1 CPUs, %2, Linux %3, Qt %4")
        .arg(QThread::idealThreadCount())
        .arg(model.isEmpty() ? QStringLiteral("unknown CPU") : model, QSysInfo::kernelVersion(),
            QString::fromLatin1(qVersion()));
}

Benchmark::Figures Benchmark::runWindow(const QString &mode, bool otherCoreBusy)
{
    QProcess spinner;
    if (otherCoreBusy) {
        spinner.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kSpinOption)});
        spinner.waitForStarted();
    }

    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 spawned = monotonicNs();
    child.start(QCoreApplication::applicationFilePath(),
        {QString::fromLatin1(kWindowOption), mode, QString::fromLatin1(kSpawnedOption),
            QString::number(spawned)});
    const bool finished = child.waitForFinished(60000);
    if (!finished)
        child.kill();

    if (otherCoreBusy) {
        spinner.kill();
        spinner.waitForFinished();
    }

    Figures figures;
    const QByteArrayList lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QByteArrayList words = line.split(' ');
        if (words.size() == 2)
            figures.insert(QString::fromLatin1(words[0]), words[1].toDouble());
    }
    if (!finished || child.exitCode() != 0)
        progress(QStringLiteral("the %1 run did not finish cleanly").arg(mode));
    return figures;
}

int Benchmark::run(Parts parts)
{
    progress(machine());
    QList<FrameCost::Figures> frames;
    QString wire;
    if (parts == Parts::All || parts == Parts::FramesOnly) {
        FrameCost cost;
        const QString error = cost.prepare();
        if (!error.isEmpty()) {
            progress(error);
            return 1;
        }
        progress(
            QStringLiteral("comparing what the board sees, %1 frames each way").arg(kWireFrames));
        wire = cost.compareWire(kWireFrames);
        progress(QStringLiteral("frame cost, %1 frames of each kind").arg(kFrames));
        frames = cost.measure(kFrames);
    }

    if (parts == Parts::All) {
        progress(QStringLiteral("window shown, %1 s").arg(WindowRun::kSeconds));
        m_idle = runWindow(QStringLiteral("idle"), false);
        progress(QStringLiteral("dialog open, %1 s").arg(WindowRun::kSeconds));
        m_dialog = runWindow(QStringLiteral("dialog"), false);
        progress(QStringLiteral("other core busy, %1 s").arg(WindowRun::kSeconds));
        m_busy = runWindow(QStringLiteral("idle"), true);
        progress(QStringLiteral("schedule latency, %1 switches").arg(WindowRun::kSwitches));
        m_latency = runWindow(QStringLiteral("latency"), false);
    }
    if (parts == Parts::All || parts == Parts::SlowAdapterOnly) {
        for (const bool inlineFrames : {false, true}) {
            const QString suffix = inlineFrames ? QStringLiteral("-inline") : QString();
            const QString where = inlineFrames ? QStringLiteral("frames on the window's thread")
                                               : QStringLiteral("frames on the writing thread");
            progress(
                QStringLiteral("slow adapter, %1 clicks, %2").arg(WindowRun::kClicks).arg(where));
            (inlineFrames ? m_clicksInline : m_clicks)
                = runWindow(QStringLiteral("clicks") + suffix, false);
            progress(QStringLiteral("adapter hanging %1 s, %2")
                         .arg(WindowRun::kHangMs / 1000)
                         .arg(where));
            (inlineFrames ? m_hangInline : m_hang)
                = runWindow(QStringLiteral("hang") + suffix, false);
        }
    }
    if (parts == Parts::All || parts == Parts::ServiceOnly) {
        progress(QStringLiteral("relvoogd idle %1 s beside a bare 10 ms frame loop, then %2 "
                                "relvoogctl commands")
                     .arg(ServiceRun::kIdleSeconds)
                     .arg(ServiceRun::kCommands));
        m_service = ServiceRun().measure();
        if (!m_service.problem.isEmpty())
            progress(m_service.problem);
    }
    if (parts == Parts::All || parts == Parts::MqttOnly) {
        m_mqtt = MqttRun::measure(&m_mqttProblem);
        if (m_mqtt.isEmpty())
            progress(QStringLiteral("no MQTT figures: %1").arg(m_mqttProblem));
    }
    printTable(frames, wire);
    return 0;
}

void Benchmark::row(
    const QString &figure, const QString &measured, const QString &target, const QString &status)
{
    m_rows << QStringLiteral("| %1 | %2 | %3 | %4 |").arg(figure, measured, target, status);
}

void Benchmark::printTable(const QList<FrameCost::Figures> &frames, const QString &wire)
{
    m_rows.clear();
    m_rows << QStringLiteral("| figure | measured | target | |");
    m_rows << QStringLiteral("|---|---|---|---|");
    if (!frames.isEmpty())
        frameRows(frames, wire);
    if (!m_idle.isEmpty())
        windowRows();
    if (!m_clicks.isEmpty())
        slowAdapterRows();
    if (m_service.serviceCpuPercent >= 0)
        serviceRows();
    if (!m_mqtt.isEmpty())
        mqttRows();
    std::printf("%s\n\n%s\n", qPrintable(machine()), qPrintable(m_rows.join(QLatin1Char('\n'))));
}

void Benchmark::frameRows(const QList<FrameCost::Figures> &frames, const QString &wire)
{
    const auto find = [&frames](FrameCost::Kind kind) {
        for (const FrameCost::Figures &f : frames)
            if (f.kind == kind)
                return f;
        return FrameCost::Figures {};
    };
    const FrameCost::Figures bare = find(FrameCost::Kind::BareLoop);
    const FrameCost::Figures bareZeros = find(FrameCost::Kind::BareLoopZeros);

    for (const FrameCost::Figures &f : frames) {
        const bool serial
            = f.kind == FrameCost::Kind::WriteRelays || f.kind == FrameCost::Kind::WriteAllOff;
        const FrameCost::Figures &reference
            = f.kind == FrameCost::Kind::WriteAllOff ? bareZeros : bare;
        const double cpuUs = f.perFrame(f.cpuNs) / 1000;
        QString measured
            = QStringLiteral("%1 / %2 ms").arg(ms(f.duration.medianMs), ms(f.duration.p99Ms));
        if (serial) {
            const double ratio = f.duration.medianMs / reference.duration.medianMs;
            measured += QStringLiteral(", %1x / %2x the bare loop")
                            .arg(ratio, 0, 'f', 2)
                            .arg(f.duration.p99Ms / reference.duration.p99Ms, 0, 'f', 2);
            row(QStringLiteral("%1 frame, median / p99").arg(f.name), measured,
                QStringLiteral("median <= 2x bare loop"), met(ratio <= 2));
            const double referenceUs = reference.perFrame(reference.cpuNs) / 1000;
            const double cpuRatio = cpuUs / referenceUs;
            row(QStringLiteral("%1 frame CPU").arg(f.name),
                QStringLiteral("%1 us, %2x the bare loop's %3 us")
                    .arg(cpuUs, 0, 'f', 0)
                    .arg(cpuRatio, 0, 'f', 2)
                    .arg(referenceUs, 0, 'f', 0),
                QStringLiteral("<= 1.3x bare loop"), met(cpuRatio <= 1.3));
        } else {
            row(QStringLiteral("%1 frame, median / p99").arg(f.name),
                measured + QStringLiteral(", CPU %1 us").arg(cpuUs, 0, 'f', 0));
        }
        row(QStringLiteral("%1: open / ioctl / write / close per frame").arg(f.name), calls(f));
        row(QStringLiteral("%1: board").arg(f.name), latched(f));
    }
    row(QStringLiteral("what the board sees, serial component vs bare loop"),
        wire.isEmpty() ? QStringLiteral("identical over %1 frames").arg(kWireFrames + 1) : wire,
        QStringLiteral("identical"), met(wire.isEmpty()));
}

namespace {
double value(const QMap<QString, double> &figures, const char *key)
{
    return figures.value(QString::fromLatin1(key), -1);
}
} // namespace

void Benchmark::windowRows()
{
    const double idleTicks = value(m_idle, "ticks_per_s");
    const double dialogTicks = value(m_dialog, "ticks_per_s");
    row(QStringLiteral("ticks/s over %1 s, window shown").arg(WindowRun::kSeconds),
        QString::number(idleTicks, 'f', 2), QStringLiteral(">= 99.5"), met(idleTicks >= 99.5));
    row(QStringLiteral("ticks/s over %1 s, dialog open").arg(WindowRun::kSeconds),
        QString::number(dialogTicks, 'f', 2)
            + (value(m_dialog, "dialog_shown") == 1 ? QString()
                                                    : QStringLiteral(" (dialog not shown)")),
        QStringLiteral(">= 99.5"), met(dialogTicks >= 99.5));
    row(QStringLiteral("ticks/s over %1 s, other core busy").arg(WindowRun::kSeconds),
        QString::number(value(m_busy, "ticks_per_s"), 'f', 2));

    const double p99 = value(m_latency, "latency_p99_ms");
    row(QStringLiteral("schedule latency, median / p99 / max"),
        QStringLiteral("%1 / %2 / %3 ms over %4 switches, %5 missed")
            .arg(ms(value(m_latency, "latency_median_ms")), ms(p99),
                ms(value(m_latency, "latency_max_ms")))
            .arg(value(m_latency, "latency_count"))
            .arg(value(m_latency, "latency_missed")),
        QStringLiteral("p99 <= 11 ms"),
        met(p99 >= 0 && p99 <= 11 && value(m_latency, "latency_missed") == 0));

    const double cpu = value(m_idle, "cpu_percent");
    row(QStringLiteral("CPU time per wall second, window shown %1 s").arg(WindowRun::kSeconds),
        QStringLiteral("%1 % of one core (dialog open %2 %, other core busy %3 %)")
            .arg(cpu, 0, 'f', 2)
            .arg(value(m_dialog, "cpu_percent"), 0, 'f', 2)
            .arg(value(m_busy, "cpu_percent"), 0, 'f', 2),
        QStringLiteral("<= 1.0 %"), met(cpu >= 0 && cpu <= 1.0));
    const double frames = value(m_idle, "frames");
    const double diskBytes = value(m_idle, "disk_write_bytes");
    row(QStringLiteral("disk writes per frame, window shown"),
        QStringLiteral("%1 bytes (%2 bytes over %3 frames)")
            .arg(frames > 0 ? diskBytes / frames : -1, 0, 'f', 0)
            .arg(diskBytes, 0, 'f', 0)
            .arg(frames, 0, 'f', 0),
        QStringLiteral("0"), met(diskBytes == 0));
    const double rssMb = value(m_idle, "peak_rss_kb") * 1024 / 1e6;
    row(QStringLiteral("peak RSS, window shown"),
        QStringLiteral("%1 MB (dialog open %2 MB)")
            .arg(rssMb, 0, 'f', 1)
            .arg(value(m_dialog, "peak_rss_kb") * 1024 / 1e6, 0, 'f', 1),
        QStringLiteral("<= 60 MB"), met(rssMb > 0 && rssMb <= 60));
    const double start = value(m_idle, "first_frame_ms");
    row(QStringLiteral("start to first latched frame"),
        QStringLiteral("%1 ms (other runs: %2, %3, %4 ms)")
            .arg(ms(start), ms(value(m_dialog, "first_frame_ms")),
                ms(value(m_busy, "first_frame_ms")), ms(value(m_latency, "first_frame_ms"))),
        QStringLiteral("<= 300 ms"), met(start >= 0 && start <= 300));
}

void Benchmark::slowAdapterRows()
{
    const QString adapter = QStringLiteral("%1 ms a request, %2 ms an opening")
                                .arg(WindowRun::kRequestDelayUs / 1000.0)
                                .arg(WindowRun::kOpenDelayUs / 1000.0);
    const QString before = QStringLiteral(" (frames on the window's thread: %1)");
    row(QStringLiteral("slow adapter (%1): frames/s on port 1").arg(adapter),
        QString::number(value(m_clicks, "frames_per_s"), 'f', 1)
            + before.arg(value(m_clicksInline, "frames_per_s"), 0, 'f', 1));

    const auto clicks = [](const Figures &figures) {
        QString text
            = QStringLiteral("%1 / %2 / %3 ms")
                  .arg(ms(value(figures, "click_median_ms")), ms(value(figures, "click_p99_ms")),
                      ms(value(figures, "click_max_ms")));
        if (value(figures, "click_superseded") > 0)
            text += QStringLiteral(", %1 served by a later click's frame")
                        .arg(value(figures, "click_superseded"));
        if (value(figures, "click_missed") != 0)
            text += QStringLiteral(", %1 never latched").arg(value(figures, "click_missed"));
        return text;
    };
    const double p99 = value(m_clicks, "click_p99_ms");
    row(QStringLiteral("slow adapter: click to lamp, median / p99 / max over %1 clicks")
            .arg(WindowRun::kClicks),
        clicks(m_clicks) + before.arg(clicks(m_clicksInline)), QStringLiteral("p99 <= 30 ms"),
        met(p99 >= 0 && p99 <= 30 && value(m_clicks, "click_missed") == 0));

    const auto busy = [this, &before](const QString &figure, const Figures &after,
                          const Figures &inlineRun, const QString &more, bool valid) {
        const double longest = value(after, "busy_max_ms");
        row(figure,
            QStringLiteral("%1 ms").arg(ms(longest))
                + before.arg(QStringLiteral("%1 ms").arg(ms(value(inlineRun, "busy_max_ms"))))
                + more,
            QStringLiteral("<= 16 ms"), met(valid && longest >= 0 && longest <= 16));
    };
    busy(QStringLiteral("slow adapter: window's thread, longest gap between 1 ms heartbeats"),
        m_clicks, m_clicksInline, QString(), true);
    // Without a gap as long as the hang in port 1's latches, the hang never reached the writer.
    const double hangGap = value(m_hang, "frame_gap_max_ms");
    const QString hang = QStringLiteral("%1 s hang").arg(WindowRun::kHangMs / 1000);
    busy(hang + QStringLiteral(": window's thread, longest gap between 1 ms heartbeats"), m_hang,
        m_hangInline, QStringLiteral("; port 1 went %1 ms without a latch").arg(hangGap, 0, 'f', 0),
        hangGap >= WindowRun::kHangMs);

    const auto told = [](const Figures &figures) {
        const double toldMs = value(figures, "hang_told_ms");
        return toldMs < 0 ? QStringLiteral("never told")
                          : QStringLiteral("%1 s").arg(toldMs / 1000, 0, 'f', 3);
    };
    const double toldMs = value(m_hang, "hang_told_ms");
    row(hang + QStringLiteral(": from its start to the port told \"does not answer\""),
        told(m_hang) + before.arg(told(m_hangInline)),
        QStringLiteral("0.95 to 1.2 s (1 s from the frame's start, up to a frame before the hang; "
                       "checked every 0.1 s)"),
        met(toldMs >= 950 && toldMs <= 1200));

    const auto cleared = [](const Figures &figures) {
        const double clearedMs = value(figures, "hang_cleared_ms");
        return clearedMs < 0 ? QStringLiteral("never told")
                             : QStringLiteral("%1 ms").arg(ms(clearedMs));
    };
    // The failure ends with the frame that finishes first, which is also the first to latch.
    const double clearedMs = value(m_hang, "hang_cleared_ms");
    const double firstLatchMs = value(m_hang, "hang_first_latch_ms");
    row(hang + QStringLiteral(": from its end to the failure cleared"),
        cleared(m_hang) + QStringLiteral(", its first latch after %1 ms").arg(ms(firstLatchMs))
            + before.arg(cleared(m_hangInline)),
        QStringLiteral("with the first frame that finishes: <= its latch + 16 ms"),
        met(clearedMs >= 0 && firstLatchMs >= 0 && clearedMs <= firstLatchMs + 16));

    const auto replayed = [](const Figures &figures) {
        return QStringLiteral("%1 latched, %2 of them with states superseded before it ended")
            .arg(value(figures, "hang_after_latches"))
            .arg(value(figures, "hang_after_superseded"));
    };
    const double superseded = value(m_hang, "hang_after_superseded");
    row(hang + QStringLiteral(": frames in the second after it"),
        replayed(m_hang) + before.arg(replayed(m_hangInline)),
        QStringLiteral("only the newest states: <= 1 superseded (the frame under way)"),
        met(value(m_hang, "hang_after_latches") > 0 && superseded >= 0 && superseded <= 1));
}

void Benchmark::serviceRows()
{
    const ServiceRun::Figures &f = m_service;
    const double ratio = f.serviceCpuPercent / f.bareCpuPercent;
    row(QStringLiteral("relvoogd idle CPU over %1 s, beside a bare loop writing the same frame "
                       "every 10 ms")
            .arg(ServiceRun::kIdleSeconds),
        QStringLiteral("%1 % of one core, %2x the bare loop's %3 %")
            .arg(f.serviceCpuPercent, 0, 'f', 2)
            .arg(ratio, 0, 'f', 2)
            .arg(f.bareCpuPercent, 0, 'f', 2),
        QStringLiteral("<= 1.5x bare loop"), met(ratio <= 1.5));
    row(QStringLiteral("relvoogd RSS, idle (peak)"),
        QStringLiteral("%1 MB (%2 MB)").arg(f.rssMb, 0, 'f', 1).arg(f.peakRssMb, 0, 'f', 1),
        QStringLiteral("<= 15 MB"), met(f.rssMb > 0 && f.peakRssMb <= 15));
    if (f.toLatch.count == 0)
        return;
    QString measured = QStringLiteral("%1 / %2 / %3 ms")
                           .arg(ms(f.toLatch.medianMs), ms(f.toLatch.p99Ms), ms(f.toLatch.maxMs));
    if (f.missed)
        measured += QStringLiteral(", %1 never latched").arg(f.missed);
    row(QStringLiteral("`relvoogctl on/off 1` to the latch, median / p99 / max over %1")
            .arg(ServiceRun::kCommands),
        measured, QStringLiteral("p99 <= 30 ms"), met(f.toLatch.p99Ms <= 30 && f.missed == 0));
}

void Benchmark::mqttRows()
{
    const auto spread = [this](const QString &key) {
        QString text = QStringLiteral("%1 / %2 / %3 ms over %4")
                           .arg(ms(m_mqtt.value(key + QStringLiteral("_median_ms"))),
                               ms(m_mqtt.value(key + QStringLiteral("_p99_ms"))),
                               ms(m_mqtt.value(key + QStringLiteral("_max_ms"))))
                           .arg(m_mqtt.value(key + QStringLiteral("_count")));
        if (const double missed = m_mqtt.value(key + QStringLiteral("_missed")))
            text += QStringLiteral(", %1 never came").arg(missed);
        return text;
    };
    const auto within = [this](const QString &key, double limitMs) {
        const double p99 = m_mqtt.value(key + QStringLiteral("_p99_ms"));
        return met(m_mqtt.value(key + QStringLiteral("_count")) > 0 && p99 <= limitMs
            && m_mqtt.value(key + QStringLiteral("_missed")) == 0);
    };
    const QString commands = QStringLiteral("%1 commands").arg(MqttRun::kCommands);
    const QString latch = QStringLiteral("MQTT command to the board's latch, median / p99 / max");
    const QString state = QStringLiteral(
        "MQTT latch to the state message, median / p99 / max (negative: before the latch)");
    const QString installed = QStringLiteral(", mosquitto as installed");
    row(latch + installed, spread(QStringLiteral("one_latch")), QStringLiteral("p99 <= 30 ms"),
        within(QStringLiteral("one_latch"), 30));
    row(state + installed, spread(QStringLiteral("one_state")), QStringLiteral("p99 <= 20 ms"),
        within(QStringLiteral("one_state"), 20));
    const QString noDelay = QStringLiteral(", mosquitto with set_tcp_nodelay true");
    row(latch + noDelay, spread(QStringLiteral("nodelay_latch")), QStringLiteral("p99 <= 30 ms"),
        within(QStringLiteral("nodelay_latch"), 30));
    row(state + noDelay, spread(QStringLiteral("nodelay_state")), QStringLiteral("p99 <= 20 ms"),
        within(QStringLiteral("nodelay_state"), 20));
    const QString four = QStringLiteral(", four services on four boards driven at once");
    row(latch + four + installed, spread(QStringLiteral("four_latch")),
        QStringLiteral("p99 <= 30 ms"), within(QStringLiteral("four_latch"), 30));
    row(state + four + installed, spread(QStringLiteral("four_state")),
        QStringLiteral("p99 <= 20 ms"), within(QStringLiteral("four_state"), 20));
    row(latch + four + noDelay, spread(QStringLiteral("fournodelay_latch")),
        QStringLiteral("p99 <= 30 ms"), within(QStringLiteral("fournodelay_latch"), 30));
    row(state + four + noDelay, spread(QStringLiteral("fournodelay_state")),
        QStringLiteral("p99 <= 20 ms"), within(QStringLiteral("fournodelay_state"), 20));
    const double withMqtt = m_mqtt.value(QStringLiteral("idle_mqtt_cpu_percent"));
    const double without = m_mqtt.value(QStringLiteral("idle_plain_cpu_percent"));
    row(QStringLiteral("CPU per wall second over %1 s, window shown, broker connected / the same "
                       "program without MQTT beside it")
            .arg(MqttRun::kIdleSeconds),
        QStringLiteral("%1 % / %2 % (%3 point); the connection's own thread %4 %")
            .arg(withMqtt, 0, 'f', 3)
            .arg(without, 0, 'f', 3)
            .arg(withMqtt - without, 0, 'f', 3)
            .arg(m_mqtt.value(QStringLiteral("idle_thread_cpu_percent")), 0, 'f', 4),
        QStringLiteral("<= +0.1 point"), met(withMqtt - without <= 0.1));
}
