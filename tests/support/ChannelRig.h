// SPDX-License-Identifier: MIT
#pragma once

#include "ChannelControl.h"
#include "Module1.h"
#include "RecordingPort.h"
#include "RecordingView.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"

#include <QDateTime>

// The link and control halves composed as the program composes them, on the recording port,
// with a front-end double and a clock the test sets.
struct ChannelRig
{
    RelayBoard board {std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline};
    RecordingPort &port = static_cast<RecordingPort &>(board.port());
    Module1 store;
    ChannelControl channels {board, store};
    RecordingView view {channels};
    QDateTime now {QDate(2026, 3, 9), QTime(12, 0)};
    ScheduleClock clock {channels, [this] { return now; }};
    ScheduleConfirmation confirmation {channels};

    void enterAutomatic(int channel, QTime on, QTime off)
    {
        channels.setTimes(channel, on, off);
        if (!channels.AutoMode(channel))
            channels.toggleAutoMode(channel);
    }
};
