// SPDX-License-Identifier: MIT
#pragma once

#include "PerChannel.h"

#include <QDateTime>
#include <QTime>

#include <optional>

// The sixteen daily switching times, a switch-on and a switch-off time for each channel, and the
// schedule's rule: what a channel's times give at a moment and over an interval. A slot is empty
// (a null QTime) or a time of day in whole seconds.
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

    // The state an automatic channel's last switching time crossed after `since` and up to `now`
    // gives it, counted in whole seconds of the wall clock; none when no time was crossed. The
    // second `now` is in always counts, so ticks within one second repeat its switch and a clock
    // set back meets its times again. A switch-on and a switch-off time crossed at the same
    // second: the switch-on wins. An empty slot is midnight.
    std::optional<bool> switchedBetween(
        int channel, const QDateTime &since, const QDateTime &now) const;
    // The state an automatic channel has at a moment: the one its last switching time gave it.
    bool isOnAt(int channel, const QDateTime &now) const;

private:
    PerChannel<QTime> m_switchOnTime;
    PerChannel<QTime> m_switchOffTime;
};
