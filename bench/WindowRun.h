// SPDX-License-Identifier: MIT
#pragma once

#include "RelayBoard.h"

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
        Clicks, // a slow adapter on port 1, manual switches clicked at random moments
        Hang, // as Clicks, and port 1's adapter hangs for 5 s once
    };

    static constexpr int kSeconds = 10;
    static constexpr int kSwitches = 240;
    static constexpr int kClicks = 100;
    // The slow adapter: a USB adapter's control transfer for each request, and its opening.
    static constexpr int kRequestDelayUs = 1000;
    static constexpr int kOpenDelayUs = 10000;
    static constexpr int kHangMs = 5000;

    // "idle", "dialog", "latency", "clicks" or "hang"; "-inline" after it writes every frame on
    // the window's thread, as the program did before it had a writing thread.
    static bool parseMode(const QString &name, Mode *mode, RelayBoard::Threading *threading);
    // spawnedNs: when the benchmark started this process, on the monotonic clock.
    static int run(
        int argc, char **argv, Mode mode, RelayBoard::Threading threading, qint64 spawnedNs);
};
