#pragma once

#include <QString>

// One run of the program as main() builds it: the window shown (offscreen) on the real serial
// component, with ports 1 and 2 on pseudo-terminals that the virtual board drives. Runs in a
// process of its own, started by the benchmark, and prints its figures as "key value" lines.
class WindowRun
{
public:
    enum class Mode {
        Idle, // 10 s with the window shown
        Dialog, // 10 s with the schedule and port dialog open
        Latency, // every channel automatic, a fast clock, switches timed to the latch
    };

    static constexpr int kSeconds = 10;
    static constexpr int kSwitches = 240;

    static bool parseMode(const QString &name, Mode *mode);
    // spawnedNs: when the benchmark started this process, on the monotonic clock.
    static int run(int argc, char **argv, Mode mode, qint64 spawnedNs);
};
