#pragma once

#include "ChannelControl.h"
#include "Module1.h"
#include "RecordingPort.h"
#include "RecordingView.h"
#include "ScheduleClock.h"

#include <QDateTime>

// The channel commands and the tick wired as the window wires them, on the recording port, with
// a clock the test sets.
struct ChannelRig
{
    RecordingPort port;
    RelayBoard board {port};
    Module1 store;
    RecordingView view;
    ChannelControl channels {board, store, view};
    QDateTime now {QDate(2026, 3, 9), QTime(12, 0)};
    ScheduleClock clock {channels, store, view, [this] { return now; }};
};
