// SPDX-License-Identifier: MIT
#pragma once

#include "Spread.h"

#include <QByteArray>
#include <QString>

// relvoogd as a user's service runs it, on a D-Bus daemon of the benchmark's own, with its ports
// on pseudo-terminals that the virtual board drives: its CPU time idle next to a bare loop that
// writes the same frame every 10 ms on one thread, both over the same seconds; its memory; and
// how long `relvoogctl on 1` takes, from its start to the board's latch.
class ServiceRun
{
public:
    struct Figures
    {
        double serviceCpuPercent = -1;
        double bareCpuPercent = -1;
        double rssMb = -1;
        double peakRssMb = -1;
        Spread toLatch;
        int missed = 0;
        QString problem; // why the figures are missing
    };

    static constexpr int kWarmUpSeconds = 2;
    static constexpr int kIdleSeconds = 10;
    static constexpr int kCommands = 100;

    Figures measure();

    // The benchmark's own executable, started again as the bare loop.
    static constexpr const char *kBareLoopOption = "--bare-loop";
    static int bareLoop(const QByteArray &device, int seconds);
};
