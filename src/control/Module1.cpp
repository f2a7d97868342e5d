#include "Module1.h"

namespace {
// The tick compares to the second; a slot with milliseconds would match no tick at all.
QTime wholeSeconds(QTime time)
{
    return time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : QTime();
}

bool isUndefined(QTime slot)
{
    return !slot.isValid() || slot == QTime(0, 0);
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

bool Module1::matches(QTime slot, QTime clock)
{
    const QTime time = slot.isValid() ? slot : QTime(0, 0);
    return time.hour() == clock.hour() && time.minute() == clock.minute()
        && time.second() == clock.second();
}
