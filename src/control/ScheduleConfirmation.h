#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QTime>

class Module1;
class RelayBoard;

// What confirming the schedule and port dialog does to the store and the serial port: the
// sixteen switching times are stored, then the chosen port is tried by opening and closing it.
class ScheduleConfirmation
{
public:
    ScheduleConfirmation(Module1 &store, RelayBoard &board);

    // What the dialog shows when it is built.
    const Module1 &store() const { return m_store; }
    quint16 portNumber() const;

    // Port number 0 means no port. When the chosen port cannot be opened the previous port
    // number is in force again, but the times stay stored; the error says why.
    LinkError confirm(
        const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort);

private:
    Module1 &m_store;
    RelayBoard &m_board;
};
