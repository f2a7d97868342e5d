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

std::vector<qint64> LatchLog::firstLatches(
    const std::vector<Awaited> &awaited, const QList<Latch> &latches)
{
    std::vector<qint64> found;
    int next = 0;
    for (const Awaited &wait : awaited) {
        while (next < latches.size() && latches[next].ns < wait.fromNs)
            ++next;
        int latch = next;
        while (latch < latches.size() && latches[latch].value != wait.outputs
            && latches[latch].ns < wait.untilNs)
            ++latch;
        found.push_back(latch < latches.size() && latches[latch].value == wait.outputs
                ? latches[latch].ns
                : -1);
    }
    return found;
}
