// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMap>
#include <QString>

// The library's trace file read back: one event a line, as README.md describes it.
class TraceLog
{
public:
    struct Event
    {
        double time = 0;
        qint64 pid = 0;
        QString device;
        QString kind; // call, line, board or fault
        QString name;
        QMap<QString, QString> fields;
    };

    explicit TraceLog(const QString &path);

    QList<Event> events(const QString &device = QString()) const;
    // The value of every latch on the device, in order.
    QList<unsigned> latches(const QString &device) const;
    // For each frame (an open through its close), how many calls reached the device.
    QList<int> callsPerFrame(const QString &device) const;

private:
    QList<Event> m_events;
};
