#pragma once

#include <QTime>

#include <array>

class Module1;
class Port;

// What confirming the schedule and port dialog does to the store and the serial port: the
// sixteen switching times are stored, then the chosen port is tried by opening and closing it.
class ScheduleConfirmation
{
public:
    ScheduleConfirmation(Module1 &store, Port &port);

    // Index 0 holds channel 1; port number 0 means no port. Returns false when the chosen port
    // cannot be opened: the previous port number is then in force again, but the times stay
    // stored.
    bool confirm(const std::array<QTime, 8> &switchOn, const std::array<QTime, 8> &switchOff,
        quint16 chosenPort);

private:
    Module1 &m_store;
    Port &m_port;
};
