#pragma once

#include "ChannelView.h"
#include "PerChannel.h"

#include <QStringList>

#include <functional>

// A window double: keeps what the commands show, and runs a test's stand-in for the dialog.
class RecordingView : public ChannelView
{
public:
    void showRelayState(int channel, bool on) override { shownOn[channel] = on; }
    void showAutoMode(int channel, bool automatic) override { shownAutomatic[channel] = automatic; }
    void showPortNumber(quint16 port) override { portLabel = QString::number(port); }
    void showLinkFailure(const LinkError &error) override { linkFailure = error; }
    void showPortLeft(quint16 port, const LinkError &why) override
    {
        portLeft = QStringLiteral("%1: %2").arg(port).arg(why.text);
    }
    void showSchedule() override
    {
        ++schedulesShown;
        if (onSchedule)
            onSchedule();
    }
    void showRefusal(const QString &text) override { refusals << text; }

    PerChannel<bool> shownOn;
    PerChannel<bool> shownAutomatic;
    QString portLabel;
    LinkError linkFailure;
    QString portLeft;
    int schedulesShown = 0;
    std::function<void()> onSchedule;
    QStringList refusals;
};
