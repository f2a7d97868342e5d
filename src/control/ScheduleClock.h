// SPDX-License-Identifier: MIT
#pragma once

#include "WallClock.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class ChannelControl;

// The 10 ms tick: shows the time and date, switches the automatic channels at their switching
// times, and rewrites the whole frame every time. A tick that comes late (a stall, a suspended
// machine, a clock stepped forward) still applies every switching time crossed since the tick
// before it.
class ScheduleClock : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit ScheduleClock(ChannelControl &channels, Clock now = WallClock());

    // Starts Timer1; ticks follow on the thread's event loop until stop().
    void start();
    void stop();
    void tick();

    static constexpr std::chrono::milliseconds kTickInterval {10};

signals:
    // "HH:mm:ss" on the 24-hour clock whatever the locale, and the date as
    // LanguageChoice::dateText() gives it.
    void clockShown(const QString &time, const QString &date);

private:
    ChannelControl &m_channels;
    Clock m_now;
    QTimer m_timer1;
    QDateTime m_lastTick;
    // The second the clock labels show.
    int m_shownSecond = -1;
    QDate m_shownDate;
};
