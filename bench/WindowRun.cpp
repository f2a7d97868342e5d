#include "WindowRun.h"

#include "ChannelControl.h"
#include "Module1.h"
#include "Peavorm.h"
#include "PseudoTerminal.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"
#include "TtyPort.h"
#include "Spread.h"
#include "TraceLog.h"
#include "VirtualBoard.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <random>
#include <sys/resource.h>

namespace {
struct Usage
{
    qint64 wallNs = 0;
    qint64 cpuNs = 0;
    long peakRssKb = 0;
    qint64 latches = 0;
};

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
    return usage;
}

void report(const char *key, double value)
{
    std::printf("%s %.6f\n", key, value);
    std::fflush(stdout);
}

void reportUsage(const Usage &from, const Usage &to)
{
    const double seconds = double(to.wallNs - from.wallNs) / 1e9;
    report("ticks_per_s", double(to.latches - from.latches) / seconds);
    report("cpu_percent", 100.0 * double(to.cpuNs - from.cpuNs) / double(to.wallNs - from.wallNs));
    report("peak_rss_kb", double(to.peakRssKb));
    report("measured_s", seconds);
}

struct Latch
{
    qint64 ns;
    unsigned value;
};

QList<Latch> latchesIn(const TraceLog &trace, const QString &device)
{
    QList<Latch> latches;
    for (const TraceLog::Event &event : trace.events(device))
        if (event.kind == QLatin1String("board") && event.name == QLatin1String("latch"))
            latches << Latch {qint64(std::llround(event.time * 1e6)) * 1000,
                event.fields.value(QStringLiteral("value")).toUInt(nullptr, 16)};
    return latches;
}

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

void reportLatency(const FastClock &clock, const QList<Latch> &latches)
{
    const std::vector<qint64> &turns = clock.turns();
    std::vector<qint64> latencies;
    int missed = 0;
    int next = 0;
    for (size_t second = 0; second + 1 < turns.size(); ++second) {
        const unsigned expected = FastClock::outputsAfter(int(second));
        while (next < latches.size() && latches[next].ns < turns[second])
            ++next;
        int found = next;
        while (found < latches.size() && latches[found].value != expected
            && latches[found].ns < turns[second + 1] + 1000000000)
            ++found;
        if (found < latches.size() && latches[found].value == expected)
            latencies.push_back(latches[found].ns - turns[second]);
        else
            ++missed;
    }
    const Spread spread = Spread::of(latencies);
    report("latency_switches", spread.count);
    report("latency_missed", missed);
    report("latency_median_ms", spread.medianMs);
    report("latency_p99_ms", spread.p99Ms);
    report("latency_max_ms", spread.maxMs);
}
} // namespace

bool WindowRun::parseMode(const QString &name, Mode *mode)
{
    if (name == QLatin1String("idle"))
        *mode = Mode::Idle;
    else if (name == QLatin1String("dialog"))
        *mode = Mode::Dialog;
    else if (name == QLatin1String("latency"))
        *mode = Mode::Latency;
    else
        return false;
    return true;
}

int WindowRun::run(int argc, char **argv, Mode mode, qint64 spawnedNs)
{
    // The trace times the first latch; it stays on only where latches are timed throughout.
    QTemporaryDir dir;
    const QString tracePath = dir.filePath(QStringLiteral("run.trace"));
    VirtualBoard::control(QStringLiteral("trace ") + tracePath);

    std::array<PseudoTerminal, 2> ptys;
    QApplication app(argc, argv);
    // As main() has it, on pseudo-terminals.
    FastClock fastClock;
    ScheduleClock::Clock clock = &QDateTime::currentDateTime;
    if (mode == Mode::Latency)
        clock = [&fastClock] { return fastClock.now(); };
    RelayBoard board(std::make_unique<TtyPort>(QStringList {ptys[0].slave(), ptys[1].slave()}));
    Module1 store;
    ChannelControl channels(board, store);
    ScheduleClock scheduleClock(channels, store, clock);
    ScheduleConfirmation confirmation(store, board);
    Peavorm peavorm(channels, scheduleClock, confirmation);
    channels.attachView(peavorm);
    channels.load();
    peavorm.show();
    scheduleClock.start();

    const QString device = ptys[0].slave();
    if (mode != Mode::Latency)
        VirtualBoard::control(QStringLiteral("trace"));
    const QList<Latch> first = latchesIn(TraceLog(tracePath), device);
    if (!first.isEmpty())
        report("first_frame_ms", double(first.front().ns - spawnedNs) / 1e6);

    Usage from;
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
                reportLatency(fastClock, latchesIn(TraceLog(tracePath), device));
                app.quit();
            });
            break;
        }
        }
    });
    return app.exec();
}
