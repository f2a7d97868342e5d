// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <vector>

// The median, the 99th percentile (nearest rank) and the largest of a sample of durations.
struct Spread
{
    int count = 0;
    double medianMs = 0;
    double p99Ms = 0;
    double maxMs = 0;

    static Spread of(std::vector<qint64> nanoseconds);
};

// CLOCK_MONOTONIC, which the virtual board's trace uses too.
qint64 monotonicNs();
