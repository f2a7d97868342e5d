#pragma once

#include "PerChannel.h"

#include <QTime>

// The sixteen daily switching times, a switch-on and a switch-off time for each channel. A slot
// is empty (a null QTime) or a time of day in whole seconds.
class Module1
{
public:
    QTime SwitchOnTime(int channel) const { return m_switchOnTime[channel]; }
    QTime SwitchOffTime(int channel) const { return m_switchOffTime[channel]; }
    void setSwitchOnTime(int channel, QTime time);
    void setSwitchOffTime(int channel, QTime time);
    void clear();

    // False when either of the channel's times is undefined: empty, or midnight, which an empty
    // slot compares equal to.
    bool isDefined(int channel) const;
    // True when the slot's hour, minute and second are the clock's; an empty slot matches
    // midnight.
    static bool matches(QTime slot, QTime clock);

private:
    PerChannel<QTime> m_switchOnTime;
    PerChannel<QTime> m_switchOffTime;
};
