// SPDX-License-Identifier: MIT
#include "LatchLog.h"

#include "TraceLog.h"

#include <cmath>

QList<LatchLog::Latch> LatchLog::read(const TraceLog &trace, const QString &device)
{
    QList<Latch> latches;
    for (const TraceLog::Event &event : trace.events(device))
        if (event.kind == QLatin1String("board") && event.name == QLatin1String("latch"))
            latches << Latch {qint64(std::llround(event.time * 1e6)) * 1000,
                event.fields.value(QStringLiteral("value")).toUInt(nullptr, 16)};
    return latches;
}

std::vector<LatchLog::Latch> LatchLog::firstServing(
    const std::vector<Awaited> &awaited, const QList<Latch> &latches, const Serves &serves)
{
    std::vector<Latch> found;
    int next = 0;
    for (int wait = 0; wait < int(awaited.size()); ++wait) {
        const Awaited &w = awaited[size_t(wait)];
        while (next < latches.size() && latches[next].ns < w.fromNs)
            ++next;
        int latch = next;
        while (latch < latches.size() && !serves(wait, latches[latch].value)
            && latches[latch].ns < w.untilNs)
            ++latch;
        found.push_back(latch < latches.size() && serves(wait, latches[latch].value)
                ? latches[latch]
                : Latch {-1, 0});
    }
    return found;
}
