#pragma once

#include <QString>

// What the channel commands and the schedule clock need from the window that shows them.
// Colours are 0x00BBGGRR values.
class ChannelView
{
public:
    virtual ~ChannelView() = default;

    virtual void setSwitchCaption(int channel, const QString &caption) = 0;
    virtual void setStateLampColour(int channel, quint32 colour) = 0;
    virtual void setAutoLampLit(int channel, bool lit) = 0;
    virtual void setClock(const QString &time, const QString &date) = 0;
    virtual void setPortNumber(quint16 port) = 0;

    // Shows the schedule and port dialog and returns once it is closed.
    virtual void showSchedule() = 0;
    // Shows a critical message box and returns once it is dismissed.
    virtual void showRefusal(const QString &text) = 0;
};
