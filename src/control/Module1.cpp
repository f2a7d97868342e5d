#include "Module1.h"

namespace {
QTime wholeSeconds(QTime time)
{
    return time.isValid() ? QTime(time.hour(), time.minute(), time.second()) : QTime();
}
} // namespace

void Module1::setSwitchOnTime(int channel, QTime time)
{
    m_switchOnTime[channel - 1] = wholeSeconds(time);
}

void Module1::setSwitchOffTime(int channel, QTime time)
{
    m_switchOffTime[channel - 1] = wholeSeconds(time);
}

void Module1::clear()
{
    m_switchOnTime.fill(QTime());
    m_switchOffTime.fill(QTime());
}

bool Module1::isUndefined(QTime slot)
{
    return !slot.isValid() || slot == QTime(0, 0);
}

bool Module1::matches(QTime slot, QTime clock)
{
    const QTime time = slot.isValid() ? slot : QTime(0, 0);
    return time.hour() == clock.hour() && time.minute() == clock.minute()
        && time.second() == clock.second();
}
