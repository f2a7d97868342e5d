// SPDX-License-Identifier: MIT
#pragma once

#include "ChannelControl.h"
#include "Module1.h"
#include "PseudoTerminal.h"
#include "RecordingView.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "TtyPort.h"
#include "VirtualBoard.h"

#include <QDateTime>

#include <array>

// The program's link and control halves as main() composes them, on the real serial component,
// with ports 1 and 2 on pseudo-terminals that the virtual board drives, and a clock the test
// sets. Frames are written as they are asked for.
struct RealPortRig
{
    std::array<PseudoTerminal, 2> ptys;
    RelayBoard board {std::make_unique<TtyPort>(QStringList {ptys[0].slave(), ptys[1].slave()}),
        RelayBoard::Threading::Inline};
    Module1 store;
    ChannelControl channels {board, store};
    RecordingView view {channels};
    QDateTime now {QDate(2024, 3, 1), QTime(12, 0)};
    ScheduleClock clock {channels, [this] { return now; }};

    QString device(quint16 portNumber) const { return ptys[portNumber - 1].slave(); }
    virtualboard_state state(quint16 portNumber) const
    {
        return VirtualBoard::state(device(portNumber));
    }
    void receiveAll()
    {
        for (PseudoTerminal &pty : ptys)
            pty.received();
    }

    // The outputs the window shows, as the board prints them: "10000000" is channel 1 on.
    QString shownWord() const
    {
        QString word;
        for (int channel = 1; channel <= kChannelCount; ++channel)
            word += view.shownOn[channel] ? QLatin1Char('1') : QLatin1Char('0');
        return word;
    }
    QString latchedWord(quint16 portNumber) const
    {
        return VirtualBoard::outputWord(state(portNumber).outputs);
    }
};
