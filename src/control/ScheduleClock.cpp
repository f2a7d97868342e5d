// SPDX-License-Identifier: MIT
#include "ScheduleClock.h"

#include "ChannelControl.h"
#include "LanguageChoice.h"

ScheduleClock::ScheduleClock(ChannelControl &channels, Clock now, Pace pace)
    : m_channels(channels)
    , m_now(std::move(now))
    , m_pace(pace)
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setTimerType(Qt::PreciseTimer);
    if (m_pace == Pace::Every10ms) {
        m_timer1.setInterval(kTickInterval);
        connect(&m_timer1, &QTimer::timeout, this, &ScheduleClock::tick);
        return;
    }
    // Each tick sets the time to the next second afresh, so a timer that runs a little early
    // or late, or a clock set in between, is met at the next tick.
    m_timer1.setSingleShot(true);
    connect(&m_timer1, &QTimer::timeout, this, [this] {
        tick();
        m_timer1.start(untilNextSecond(m_lastTick));
    });
}

std::chrono::milliseconds ScheduleClock::untilNextSecond(const QDateTime &moment)
{
    return std::chrono::milliseconds(1000 - moment.time().msec());
}

void ScheduleClock::start()
{
    if (m_pace == Pace::Every10ms)
        m_timer1.start();
    else
        m_timer1.start(untilNextSecond(m_now()));
}

void ScheduleClock::stop()
{
    m_timer1.stop();
}

void ScheduleClock::tick()
{
    // One reading serves the whole tick: a second that turns while it runs is met by the next
    // tick, which counts every second since this one.
    const QDateTime now = m_now();
    // The labels change once a second; making their texts at every tick would be work for
    // nothing, a hundred times a second.
    const int second = now.time().msecsSinceStartOfDay() / 1000;
    if (second != m_shownSecond || now.date() != m_shownDate) {
        m_shownSecond = second;
        m_shownDate = now.date();
        emit clockShown(
            now.toString(QStringLiteral("HH:mm:ss")), LanguageChoice::dateText(now.date()));
    }
    m_channels.applySchedule(m_lastTick, now);
    m_lastTick = now;
    m_channels.WriteRelays();
}
