// SPDX-License-Identifier: MIT
#include "Module1.h"

namespace {
constexpr qint64 kSecondsPerDay = 24 * 60 * 60;

// The schedule compares to the second; a slot with milliseconds would match no second at all.
QTime wholeSeconds(QTime time)
{
    return time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : QTime();
}

bool isUndefined(QTime slot)
{
    return !slot.isValid() || slot == QTime(0, 0);
}

// Seconds on the wall clock, as the clock on the wall reads them: a step of the clock or a change
// to summer time moves past the times the clock skips, as a stall does.
qint64 wallSecond(const QDateTime &moment)
{
    return moment.date().toJulianDay() * kSecondsPerDay
        + moment.time().msecsSinceStartOfDay() / 1000;
}

// How many seconds before `now` the slot's time was last reached; 0 within its own second.
qint64 secondsSince(QTime slot, qint64 now)
{
    const qint64 time = slot.isValid() ? slot.msecsSinceStartOfDay() / 1000 : 0;
    return ((now - time) % kSecondsPerDay + kSecondsPerDay) % kSecondsPerDay;
}
} // namespace

void Module1::setSwitchOnTime(int channel, QTime time)
{
    m_switchOnTime[channel] = wholeSeconds(time);
}

void Module1::setSwitchOffTime(int channel, QTime time)
{
    m_switchOffTime[channel] = wholeSeconds(time);
}

void Module1::clear()
{
    m_switchOnTime.fill(QTime());
    m_switchOffTime.fill(QTime());
}

bool Module1::isDefined(int channel) const
{
    return !isUndefined(m_switchOnTime[channel]) && !isUndefined(m_switchOffTime[channel]);
}

std::optional<bool> Module1::switchedBetween(
    int channel, const QDateTime &since, const QDateTime &now) const
{
    const qint64 end = wallSecond(now);
    // Seconds after the one `since` is in count, and the one `now` is in always does; a clock
    // that went back counts that one only.
    const qint64 span = since.isValid() ? qMax<qint64>(end - wallSecond(since), 1) : 1;
    const qint64 sinceOn = secondsSince(m_switchOnTime[channel], end);
    const qint64 sinceOff = secondsSince(m_switchOffTime[channel], end);
    const bool onCrossed = sinceOn < span;
    const bool offCrossed = sinceOff < span;
    if (!onCrossed && !offCrossed)
        return std::nullopt;
    if (onCrossed && offCrossed)
        return sinceOn <= sinceOff;
    return onCrossed;
}

bool Module1::isOnAt(int channel, const QDateTime &now) const
{
    // Over a whole day every time is crossed once, so the last one always decides.
    return *switchedBetween(channel, now.addDays(-1), now);
}
