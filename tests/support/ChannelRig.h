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
// with a window double and a clock the test sets.
struct ChannelRig
{
    ChannelRig() { channels.attachView(view); }

    RelayBoard board {std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline};
    RecordingPort &port = static_cast<RecordingPort &>(board.port());
    Module1 store;
    RecordingView view;
    ChannelControl channels {board, store};
    QDateTime now {QDate(2026, 3, 9), QTime(12, 0)};
    ScheduleClock clock {channels, store, [this] { return now; }};
    ScheduleConfirmation confirmation {store, board};

    void enterAutomatic(int channel, QTime on, QTime off)
    {
        store.setSwitchOnTime(channel, on);
        store.setSwitchOffTime(channel, off);
        if (!channels.AutoMode(channel))
            channels.toggleAutoMode(channel);
    }
};
