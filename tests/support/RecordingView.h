// SPDX-License-Identifier: MIT
#pragma once

#include "ChannelControl.h"
#include "PerChannel.h"

#include <QObject>

// A front-end double: keeps what the engine announced, as a window would show it.
class RecordingView : public QObject
{
public:
    explicit RecordingView(ChannelControl &channels)
    {
        connect(&channels, &ChannelControl::relayStateChanged, this,
            [this](int channel, bool on) { shownOn[channel] = on; });
        connect(&channels, &ChannelControl::autoModeChanged, this,
            [this](int channel, bool automatic) { shownAutomatic[channel] = automatic; });
        connect(&channels, &ChannelControl::portChanged, this,
            [this](quint16 port) { portLabel = QString::number(port); });
        connect(&channels, &ChannelControl::linkChanged, this,
            [this](const LinkError &error) { linkFailure = error; });
        connect(
            &channels, &ChannelControl::portLeft, this, [this](quint16 port, const LinkError &why) {
                portLeft = QStringLiteral("%1: %2").arg(port).arg(why.text);
            });
    }

    PerChannel<bool> shownOn;
    PerChannel<bool> shownAutomatic;
    QString portLabel;
    LinkError linkFailure;
    QString portLeft;
};
