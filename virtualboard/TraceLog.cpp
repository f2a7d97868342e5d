// SPDX-License-Identifier: MIT
#include "TraceLog.h"

#include <QFile>

TraceLog::TraceLog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.atEnd()) {
        const QString line = QString::fromLocal8Bit(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() < 5)
            continue;
        Event event;
        event.time = words[0].toDouble();
        event.pid = words[1].toLongLong();
        event.device = words[2];
        event.kind = words[3];
        event.name = words[4];
        for (int i = 5; i < words.size(); ++i) {
            const int equals = int(words[i].indexOf(QLatin1Char('=')));
            if (equals > 0)
                event.fields.insert(words[i].left(equals), words[i].mid(equals + 1));
        }
        m_events << event;
    }
}

QList<TraceLog::Event> TraceLog::events(const QString &device) const
{
    QList<Event> found;
    for (const Event &event : m_events)
        if (device.isEmpty() || event.device == device)
            found << event;
    return found;
}

QList<unsigned> TraceLog::latches(const QString &device) const
{
    QList<unsigned> values;
    for (const Event &event : events(device))
        if (event.kind == QLatin1String("board") && event.name == QLatin1String("latch"))
            values << event.fields.value(QStringLiteral("value")).toUInt(nullptr, 16);
    return values;
}

QList<int> TraceLog::callsPerFrame(const QString &device) const
{
    QList<int> counts;
    int calls = -1;
    for (const Event &event : events(device)) {
        if (event.kind != QLatin1String("call"))
            continue;
        if (event.name == QLatin1String("open")
            && event.fields.value(QStringLiteral("ret")) == QLatin1String("0"))
            calls = 0;
        if (calls >= 0)
            ++calls;
        if (event.name == QLatin1String("close") && calls >= 0) {
            counts << calls;
            calls = -1;
        }
    }
    return counts;
}
