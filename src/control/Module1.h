#pragma once

#include <QTime>

#include <array>

// The sixteen daily switching times, a switch-on and a switch-off time for each channel. A slot
// is empty (a null QTime) or a time of day in whole seconds.
class Module1
{
public:
    QTime SwitchOnTime(int channel) const { return m_switchOnTime[channel - 1]; }
    QTime SwitchOffTime(int channel) const { return m_switchOffTime[channel - 1]; }
    void setSwitchOnTime(int channel, QTime time);
    void setSwitchOffTime(int channel, QTime time);
    void clear();

    // An empty slot compares equal to midnight, so midnight is undefined too.
    static bool isUndefined(QTime slot);
    // True when the slot's hour, minute and second are the clock's; an empty slot matches
    // midnight.
    static bool matches(QTime slot, QTime clock);

private:
    std::array<QTime, 8> m_switchOnTime;
    std::array<QTime, 8> m_switchOffTime;
};
