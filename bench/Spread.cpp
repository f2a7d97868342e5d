// SPDX-License-Identifier: MIT
#include "Spread.h"

#include <algorithm>
#include <cmath>
#include <ctime>

Spread Spread::of(std::vector<qint64> nanoseconds)
{
    Spread spread;
    spread.count = int(nanoseconds.size());
    if (nanoseconds.empty())
        return spread;
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const size_t n = nanoseconds.size();
    const double median = n % 2 ? double(nanoseconds[n / 2])
                                : (double(nanoseconds[n / 2 - 1]) + double(nanoseconds[n / 2])) / 2;
    const size_t rank = size_t(std::ceil(0.99 * double(n)));
    spread.medianMs = median / 1e6;
    spread.p99Ms = double(nanoseconds[std::max<size_t>(rank, 1) - 1]) / 1e6;
    spread.maxMs = double(nanoseconds.back()) / 1e6;
    return spread;
}

qint64 monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}
