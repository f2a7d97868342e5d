// SPDX-License-Identifier: MIT
#include "ScheduleClock.h"

#include "ChannelControl.h"
#include "LanguageChoice.h"

ScheduleClock::ScheduleClock(ChannelControl &channels, Clock now)
    : m_channels(channels)
    , m_now(std::move(now))
{
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setTimerType(Qt::PreciseTimer);
    m_timer1.setInterval(kTickInterval);
    connect(&m_timer1, &QTimer::timeout, this, &ScheduleClock::tick);
}

void ScheduleClock::start()
{
    m_timer1.start();
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
