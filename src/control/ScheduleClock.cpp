#include "ScheduleClock.h"

#include "ChannelControl.h"
#include "Module1.h"

ScheduleClock::ScheduleClock(ChannelControl &channels, const Module1 &store, Clock now)
    : m_channels(channels)
    , m_store(store)
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
    // The clock is read anew for every test rather than once a tick, so a tick that straddles
    // the turn of a second still meets the new second in the channels tested after it.
    const QDateTime shown = m_now();
    // The labels change once a second; making their texts at every tick would be work for
    // nothing, a hundred times a second.
    const int second = shown.time().msecsSinceStartOfDay() / 1000;
    if (second != m_shownSecond || shown.date() != m_shownDate) {
        m_shownSecond = second;
        m_shownDate = shown.date();
        emit clockShown(shown.toString(QStringLiteral("HH:mm:ss")),
            shown.toString(QStringLiteral("MM-dd-yyyy")));
    }
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        if (!m_channels.AutoMode(channel))
            continue;
        if (Module1::matches(m_store.SwitchOnTime(channel), m_now().time()))
            m_channels.setRelayState(channel, true);
        else if (Module1::matches(m_store.SwitchOffTime(channel), m_now().time()))
            m_channels.setRelayState(channel, false);
    }
    m_channels.WriteRelays();
}
