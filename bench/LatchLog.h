// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <vector>

class TraceLog;

// The board's latches on one device, read back from the virtual board's trace, and the first of
// them that serves what it was asked for at a moment.
class LatchLog
{
public:
    struct Latch
    {
        qint64 ns; // CLOCK_MONOTONIC; -1 for none
        unsigned value;
    };
    // A moment the board was asked for outputs, and until when it may latch them.
    struct Awaited
    {
        qint64 fromNs;
        unsigned outputs;
        qint64 untilNs;
    };
    // Whether a latched value serves the wait with the given index.
    using Serves = std::function<bool(int wait, unsigned value)>;

    static QList<Latch> read(const TraceLog &trace, const QString &device);
    // For each moment, in time order, the board's first latch that serves it; none where it never
    // latched one.
    static std::vector<Latch> firstServing(
        const std::vector<Awaited> &awaited, const QList<Latch> &latches, const Serves &serves);
};
