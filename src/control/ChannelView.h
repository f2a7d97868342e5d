#pragma once

#include "LinkError.h"

#include <QString>

// What the channel commands need from the window that shows them.
class ChannelView
{
public:
    virtual ~ChannelView() = default;

    virtual void showRelayState(int channel, bool on) = 0;
    virtual void showAutoMode(int channel, bool automatic) = 0;
    virtual void showPortNumber(quint16 port) = 0;
    // Frames to the port in use fail for the reason given; no error: they reach it again.
    virtual void showLinkFailure(const LinkError &error) = 0;
    // Why the all-off left the given port for the other one.
    virtual void showPortLeft(quint16 port, const LinkError &why) = 0;

    // Shows the schedule and port dialog and returns once it is closed.
    virtual void showSchedule() = 0;
    // Shows a critical message box and returns once it is dismissed.
    virtual void showRefusal(const QString &text) = 0;
};
