#pragma once

#include "ChannelView.h"

#include <QStringList>

#include <array>
#include <functional>

// A window double: keeps what the commands show, and runs a test's stand-in for the dialog.
class RecordingView : public ChannelView
{
public:
    void setSwitchCaption(int channel, const QString &caption) override
    {
        captions[channel - 1] = caption;
    }
    void setStateLampColour(int channel, quint32 colour) override
    {
        lampColours[channel - 1] = colour;
    }
    void setAutoLampLit(int channel, bool lit) override { autoLamps[channel - 1] = lit; }
    void setClock(const QString &time, const QString &date) override
    {
        clockTime = time;
        clockDate = date;
    }
    void setPortNumber(quint16 port) override { portLabel = QString::number(port); }
    void showSchedule() override
    {
        ++schedulesShown;
        if (onSchedule)
            onSchedule();
    }
    void showRefusal(const QString &text) override { refusals << text; }

    std::array<QString, 8> captions;
    std::array<quint32, 8> lampColours {};
    std::array<bool, 8> autoLamps {};
    QString clockTime;
    QString clockDate;
    QString portLabel;
    int schedulesShown = 0;
    std::function<void()> onSchedule;
    QStringList refusals;
};
