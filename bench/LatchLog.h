#pragma once

#include <QList>
#include <QString>

#include <vector>

class TraceLog;

// The board's latches on one device, read back from the virtual board's trace, and when it first
// latched what it was asked for at a moment.
class LatchLog
{
public:
    struct Latch
    {
        qint64 ns; // CLOCK_MONOTONIC
        unsigned value;
    };
    // A moment the board was asked for outputs, and until when it may latch them.
    struct Awaited
    {
        qint64 fromNs;
        unsigned outputs;
        qint64 untilNs;
    };

    static QList<Latch> read(const TraceLog &trace, const QString &device);
    // For each moment, in time order, the first latch of what was asked for then; -1 where the
    // board never latched it.
    static std::vector<qint64> firstLatches(
        const std::vector<Awaited> &awaited, const QList<Latch> &latches);
};
