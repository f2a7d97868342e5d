// SPDX-License-Identifier: MIT
#include "WindowRun.h"

#include "ChannelControl.h"
#include "LatchLog.h"
#include "Module1.h"
#include "Peavorm.h"
#include "PseudoTerminal.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"
#include "Spread.h"
#include "TraceLog.h"
#include "TtyPort.h"
#include "UnclaimedPseudoTerminal.h"
#include "VirtualBoard.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtAlgorithms>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <vector>

namespace {
struct Usage
{
    qint64 wallNs = 0;
    qint64 cpuNs = 0;
    long peakRssKb = 0;
    qint64 latches = 0;
    qint64 diskWriteBytes = 0;
};

// What the process has sent towards the disks (write_bytes in /proc/self/io): files written on a
// disk-backed file system, counted when the pages are dirtied; nothing for a tmpfs or a device.
qint64 diskWriteBytes()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("write_bytes:"))
            return line.mid(int(sizeof "write_bytes:")).trimmed().toLongLong();
    return -1;
}

Usage usageNow(const QString &device)
{
    rusage self {};
    getrusage(RUSAGE_SELF, &self);
    Usage usage;
    usage.wallNs = monotonicNs();
    usage.cpuNs = (qint64(self.ru_utime.tv_sec) + self.ru_stime.tv_sec) * 1000000000
        + (qint64(self.ru_utime.tv_usec) + self.ru_stime.tv_usec) * 1000;
    usage.peakRssKb = self.ru_maxrss;
    usage.latches = VirtualBoard::state(device).latches;
    usage.diskWriteBytes = diskWriteBytes();
    return usage;
}

void report(const QByteArray &key, double value)
{
    std::printf("%s %.6f\n", key.constData(), value);
    std::fflush(stdout);
}

void reportUsage(const Usage &from, const Usage &to)
{
    const double seconds = double(to.wallNs - from.wallNs) / 1e9;
    report("ticks_per_s", double(to.latches - from.latches) / seconds);
    report("cpu_percent", 100.0 * double(to.cpuNs - from.cpuNs) / double(to.wallNs - from.wallNs));
    report("peak_rss_kb", double(to.peakRssKb));
    report("measured_s", seconds);
    report("frames", double(to.latches - from.latches));
    report("disk_write_bytes",
        from.diskWriteBytes < 0 || to.diskWriteBytes < 0
            ? -1.0
            : double(to.diskWriteBytes - from.diskWriteBytes));
}

using Latch = LatchLog::Latch;
using Awaited = LatchLog::Awaited;

// A clock whose seconds go by in 30 to 60 ms, at random moments against the tick, and which
// runs 12:00:00 to 12:00:15 over and over. Channel n switches on at second n - 1 and off at
// second n + 7, so the outputs count through sixteen different values, one a second: a latched
// value tells which second's switch it carries.
class FastClock
{
public:
    static constexpr int kCycle = 16;

    void start(qint64 fromNs, int seconds)
    {
        std::mt19937 random(1);
        std::uniform_int_distribution<qint64> length(30000000, 60000000);
        m_turns.clear();
        m_turns.push_back(fromNs);
        for (int i = 0; i < seconds; ++i)
            m_turns.push_back(m_turns.back() + length(random));
    }
    const std::vector<qint64> &turns() const { return m_turns; }

    QDateTime now() const
    {
        const QDate day(2024, 3, 1);
        const qint64 ns = monotonicNs();
        if (m_turns.empty() || ns < m_turns.front())
            return QDateTime(day, QTime(11, 59, 59));
        const auto after = std::upper_bound(m_turns.begin(), m_turns.end(), ns);
        const int second = int(after - m_turns.begin()) - 1;
        if (second >= int(m_turns.size()) - 1)
            return QDateTime(day, QTime(12, 30, 0));
        return QDateTime(day, QTime(12, 0, second % kCycle));
    }

    static unsigned outputsAfter(int second)
    {
        const int phase = second % kCycle;
        return phase < 8 ? (2u << phase) - 1 : 0xffu & ~((2u << (phase - 8)) - 1);
    }

private:
    std::vector<qint64> m_turns;
};

// From each moment (in time order) to the board's first latch that serves it, reported as
// NAME_count, NAME_missed, NAME_superseded (served by a newer moment's outputs) and the spread.
void reportWaits(const char *name, const std::vector<Awaited> &awaited, const QList<Latch> &latches,
    const LatchLog::Serves &serves)
{
    std::vector<qint64> latencies;
    int missed = 0;
    int superseded = 0;
    const std::vector<Latch> found = LatchLog::firstServing(awaited, latches, serves);
    for (size_t wait = 0; wait < awaited.size(); ++wait) {
        if (found[wait].ns < 0) {
            ++missed;
            continue;
        }
        latencies.push_back(found[wait].ns - awaited[wait].fromNs);
        superseded += found[wait].value == awaited[wait].outputs ? 0 : 1;
    }
    const Spread spread = Spread::of(latencies);
    const auto key = [name](const char *figure) { return QByteArray(name) + '_' + figure; };
    report(key("count"), spread.count);
    report(key("missed"), missed);
    report(key("superseded"), superseded);
    report(key("median_ms"), spread.medianMs);
    report(key("p99_ms"), spread.p99Ms);
    report(key("max_ms"), spread.maxMs);
}

// The schedule's switches: from the turn of each second to the latch of the outputs it brings.
void reportLatency(const FastClock &clock, const QList<Latch> &latches)
{
    const std::vector<qint64> &turns = clock.turns();
    std::vector<Awaited> awaited;
    for (size_t second = 0; second + 1 < turns.size(); ++second)
        awaited.push_back(
            {turns[second], FastClock::outputsAfter(int(second)), turns[second + 1] + 1000000000});
    reportWaits("latency", awaited, latches,
        [&awaited](int wait, unsigned value) { return value == awaited[size_t(wait)].outputs; });
}

// How long the window's thread was kept from its event loop: a 1 ms timer on that thread, and
// the longest time between two of its timeouts.
class Heartbeat
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = monotonicNs();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
    }
    void start()
    {
        m_lastNs = monotonicNs();
        m_timer.start();
    }
    double longestGapMs() const { return double(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

// Port 1's latches per second between two moments, and the longest time without one.
void reportFrames(const QList<Latch> &latches, qint64 fromNs, qint64 toNs)
{
    int count = 0;
    qint64 last = fromNs;
    qint64 longest = 0;
    for (const Latch &latch : latches) {
        if (latch.ns < fromNs || latch.ns > toNs)
            continue;
        ++count;
        longest = std::max(longest, latch.ns - last);
        last = latch.ns;
    }
    longest = std::max(longest, toNs - last);
    report("frames_per_s", count / (double(toNs - fromNs) / 1e9));
    report("frame_gap_max_ms", double(longest) / 1e6);
}

// The clicks on the slow adapter. Click k switches the channel of the lowest set bit of k + 1, so
// the outputs step through a Gray code from all off: every click's outputs are new for 255 clicks,
// and a latched value tells which click it carries.
constexpr int kMaxClicks = 255;
static_assert(WindowRun::kClicks <= kMaxClicks);

int clickedChannel(int click)
{
    return qCountTrailingZeroBits(unsigned(click + 1)) + 1;
}

// The click whose outputs a latched value is: -1 for all off, the outputs before the first.
int clickCarried(unsigned value)
{
    unsigned count = value;
    for (unsigned shift = 1; shift < kChannelCount; shift *= 2)
        count ^= count >> shift;
    return int(count) - 1;
}

// When the engine told the port in use as failing, or as reached again.
struct LinkChange
{
    qint64 ns;
    LinkError::Reason reason;
};

// Around the hang, from its start in the trace: how long until the port was told as not
// answering and, from its end, until that cleared and until the first latch; the latches in the
// second after it, and how many of them carried a click superseded before it ended (the frame under
// way when the adapter hung carries one; replayed clicks would add more).
void reportHang(const TraceLog &trace, const QString &device, const QList<Latch> &latches,
    const std::vector<qint64> &clicksHandledNs, const std::vector<LinkChange> &linkChanges)
{
    qint64 startNs = -1;
    for (const TraceLog::Event &event : trace.events(device))
        if (event.kind == QLatin1String("fault") && event.name == QLatin1String("hang"))
            startNs = qint64(std::llround(event.time * 1e6)) * 1000;
    if (startNs < 0)
        return;
    // The hung request also takes its delay.
    const qint64 endNs = startNs + qint64(WindowRun::kHangMs) * 1000000
        + qint64(WindowRun::kRequestDelayUs) * 1000;
    const int newest = int(std::lower_bound(clicksHandledNs.begin(), clicksHandledNs.end(), endNs)
                           - clicksHandledNs.begin())
        - 1;
    int after = 0;
    int superseded = 0;
    double firstLatchMs = -1;
    for (const Latch &latch : latches) {
        if (latch.ns < endNs || latch.ns >= endNs + 1000000000)
            continue;
        if (firstLatchMs < 0)
            firstLatchMs = double(latch.ns - endNs) / 1e6;
        ++after;
        superseded += clickCarried(latch.value) < newest ? 1 : 0;
    }
    double toldMs = -1;
    double clearedMs = -1;
    for (const LinkChange &change : linkChanges) {
        if (change.ns < startNs)
            continue;
        if (toldMs < 0 && change.reason == LinkError::Reason::NoAnswer)
            toldMs = double(change.ns - startNs) / 1e6;
        else if (toldMs >= 0 && change.reason == LinkError::Reason::None) {
            clearedMs = double(change.ns - endNs) / 1e6;
            break;
        }
    }
    report("hang_told_ms", toldMs);
    report("hang_cleared_ms", clearedMs);
    report("hang_first_latch_ms", firstLatchMs);
    report("hang_after_latches", after);
    report("hang_after_superseded", superseded);
}
} // namespace

bool WindowRun::parseMode(const QString &name, Mode *mode, RelayBoard::Threading *threading)
{
    static const QList<std::pair<QString, Mode>> modes {
        {QStringLiteral("idle"), Mode::Idle},
        {QStringLiteral("dialog"), Mode::Dialog},
        {QStringLiteral("latency"), Mode::Latency},
        {QStringLiteral("clicks"), Mode::Clicks},
        {QStringLiteral("hang"), Mode::Hang},
    };
    const QString inlineSuffix = QStringLiteral("-inline");
    const bool inlineFrames = name.endsWith(inlineSuffix);
    const QString base = inlineFrames ? name.chopped(inlineSuffix.size()) : name;
    for (const auto &[modeName, value] : modes) {
        if (modeName == base) {
            *mode = value;
            *threading
                = inlineFrames ? RelayBoard::Threading::Inline : RelayBoard::Threading::Background;
            return true;
        }
    }
    return false;
}

int WindowRun::run(
    int argc, char **argv, Mode mode, RelayBoard::Threading threading, qint64 spawnedNs)
{
    // The trace times the first latch; it stays on only where latches are timed throughout.
    QTemporaryDir dir;
    const QString tracePath = dir.filePath(QStringLiteral("run.trace"));
    VirtualBoard::control(QStringLiteral("trace ") + tracePath);

    const std::vector<std::unique_ptr<PseudoTerminal>> ptys = unclaimedPseudoTerminals(2);
    const QString device = ptys[0]->slave();
    const bool slowAdapter = mode == Mode::Clicks || mode == Mode::Hang;
    if (slowAdapter)
        VirtualBoard::control(
            QStringLiteral("delay %1 %2 %3").arg(device).arg(kRequestDelayUs).arg(kOpenDelayUs));
    QApplication app(argc, argv);
    // As main() has it, on pseudo-terminals.
    FastClock fastClock;
    ScheduleClock::Clock clock = &QDateTime::currentDateTime;
    if (mode == Mode::Latency)
        clock = [&fastClock] { return fastClock.now(); };
    RelayBoard board(
        std::make_unique<TtyPort>(QStringList {ptys[0]->slave(), ptys[1]->slave()}), threading);
    Module1 store;
    ChannelControl channels(board, store);
    ScheduleClock scheduleClock(channels, clock);
    ScheduleConfirmation confirmation(channels);
    Peavorm peavorm(channels, scheduleClock, confirmation);
    channels.load();
    peavorm.show();
    scheduleClock.start();

    if (!slowAdapter) {
        // The start-up all-off comes from the writing thread, so its latch is waited for; the
        // query writes the trace out.
        const qint64 deadlineNs = monotonicNs() + 2000000000;
        while (VirtualBoard::state(device).latches == 0 && monotonicNs() < deadlineNs)
            QThread::usleep(100);
        if (mode != Mode::Latency)
            VirtualBoard::control(QStringLiteral("trace"));
        const QList<Latch> first = LatchLog::read(TraceLog(tracePath), device);
        if (!first.isEmpty())
            report("first_frame_ms", double(first.front().ns - spawnedNs) / 1e6);
    }

    Usage from;
    Heartbeat heartbeat;
    std::mt19937 random(2);
    std::uniform_int_distribution<int> clickInterval(50, 150);
    // Each click is due at a moment: its handler may run later if the thread is busy.
    std::vector<Awaited> clicks;
    std::vector<qint64> clicksHandledNs;
    int clickCount = 0;
    qint64 clicksFromNs = 0;
    qint64 clicksUntilNs = 0;
    std::vector<LinkChange> linkChanges;
    QObject::connect(
        &channels, &ChannelControl::linkChanged, &app, [&linkChanges](const LinkError &error) {
            linkChanges.push_back({monotonicNs(), error.reason});
        });
    // Clicks until the count is reached or the time is up, then lets the last frames out.
    std::function<void()> clickNext = [&] {
        const int ms = clickInterval(random);
        const qint64 dueNs = monotonicNs() + qint64(ms) * 1000000;
        if (int(clicks.size()) >= clickCount || dueNs > clicksUntilNs) {
            QTimer::singleShot(1000, Qt::PreciseTimer, &app, [&, dueNs] {
                VirtualBoard::control(QStringLiteral("trace"));
                const TraceLog trace(tracePath);
                const QList<Latch> latches = LatchLog::read(trace, device);
                reportFrames(latches, clicksFromNs, dueNs);
                if (mode == Mode::Clicks)
                    reportWaits("click", clicks, latches,
                        [](int click, unsigned value) { return clickCarried(value) >= click; });
                else
                    reportHang(trace, device, latches, clicksHandledNs, linkChanges);
                report("busy_max_ms", heartbeat.longestGapMs());
                app.quit();
            });
            return;
        }
        QTimer::singleShot(ms, Qt::PreciseTimer, &app, [&, dueNs] {
            const int channel = clickedChannel(int(clicks.size()));
            peavorm.findChild<QPushButton *>(QStringLiteral("Relee%1").arg(channel))->click();
            clicksHandledNs.push_back(monotonicNs());
            unsigned outputs = 0;
            for (int c = 1; c <= kChannelCount; ++c)
                outputs |= channels.RelayState(c) ? 1u << (c - 1) : 0u;
            clicks.push_back({dueNs, outputs, std::numeric_limits<qint64>::max()});
            clickNext();
        });
    };
    const auto clickAway = [&](int count, int seconds) {
        clickCount = count;
        clicksFromNs = monotonicNs();
        clicksUntilNs = clicksFromNs + qint64(seconds) * 1000000000;
        heartbeat.start();
        clickNext();
    };
    QTimer::singleShot(0, &app, [&] {
        switch (mode) {
        case Mode::Idle:
            from = usageNow(device);
            QTimer::singleShot(kSeconds * 1000, Qt::PreciseTimer, &app, [&] {
                reportUsage(from, usageNow(device));
                app.quit();
            });
            break;
        case Mode::Dialog: {
            QTimer::singleShot(200, Qt::PreciseTimer, &app, [&] {
                report("dialog_shown", qobject_cast<QDialog *>(app.activeModalWidget()) ? 1 : 0);
                from = usageNow(device);
            });
            QTimer::singleShot(200 + kSeconds * 1000, Qt::PreciseTimer, &app, [&] {
                reportUsage(from, usageNow(device));
                if (auto *dialog = qobject_cast<QDialog *>(app.activeModalWidget()))
                    dialog->reject();
                app.quit();
            });
            // Runs the dialog in its nested event loop until the timer above rejects it.
            peavorm.findChild<QPushButton *>(QStringLiteral("ComLisad"))->click();
            break;
        }
        case Mode::Latency: {
            for (int channel = 1; channel <= 8; ++channel) {
                store.setSwitchOnTime(channel, QTime(12, 0, channel - 1));
                store.setSwitchOffTime(channel, QTime(12, 0, channel + 7));
                peavorm.findChild<QPushButton *>(QStringLiteral("Auto%1").arg(channel))->click();
            }
            fastClock.start(monotonicNs() + 300000000, kSwitches);
            const qint64 endNs = fastClock.turns().back() + 300000000;
            QTimer::singleShot((endNs - monotonicNs()) / 1000000, Qt::PreciseTimer, &app, [&] {
                peavorm.close();
                VirtualBoard::control(QStringLiteral("trace"));
                reportLatency(fastClock, LatchLog::read(TraceLog(tracePath), device));
                app.quit();
            });
            break;
        }
        case Mode::Clicks:
            clickAway(kClicks, 60);
            break;
        case Mode::Hang:
            // Clicked all through, so that the window has work while the adapter hangs.
            clickAway(kMaxClicks, 1 + kHangMs / 1000 + 2);
            QTimer::singleShot(1000, Qt::PreciseTimer, &app, [&] {
                VirtualBoard::control(QStringLiteral("hang %1 %2").arg(device).arg(kHangMs));
            });
            break;
        }
    });
    return app.exec();
}
