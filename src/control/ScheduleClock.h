// SPDX-License-Identifier: MIT
#pragma once

#include "WallClock.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

class ChannelControl;

// The tick, every 10 ms: shows the time and date, switches the automatic channels at their
// switching times, and rewrites the whole frame every time. A tick that comes late (a stall, a
// suspended machine, a clock stepped forward) still applies every switching time crossed since the
// tick before it.
class ScheduleClock : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;
    // Every 10 ms, as the window shows the time and rewrites the frame; or at the start of every
    // second, where all switching times lie, for a board whose writing thread repeats the frame
    // itself (RelayBoard::repeatFrames).
    enum class Pace { Every10ms, EverySecond };

    explicit ScheduleClock(
        ChannelControl &channels, Clock now = WallClock(), Pace pace = Pace::Every10ms);

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
    // Time to the start of the second after the given moment.
    static std::chrono::milliseconds untilNextSecond(const QDateTime &moment);

    Clock m_now;
    const Pace m_pace;
    QTimer m_timer1 {this};
    QDateTime m_lastTick;
    // The second the clock labels show.
    int m_shownSecond = -1;
    QDate m_shownDate;
};
