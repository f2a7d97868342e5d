#pragma once

#include "LinkError.h"
#include "PerChannel.h"

class Port;

// Puts relay frames on the wire: eight bits shifted in on DTR, clocked by RTS pulses, channel 8
// first, then one character that latches them into the board's outputs. The port is opened for
// each frame and closed after it.
class RelayBoard
{
public:
    explicit RelayBoard(Port &port);

    quint16 portNumber() const;
    void setPortNumber(quint16 number);

    // Writes one frame of the eight states; the port is closed afterwards either way. A lasting
    // failure is logged once, and once again when frames get through.
    LinkError write(const RelayStates &states);
    // Opens and closes the port in use without moving a line or sending anything, so the board
    // keeps its outputs.
    LinkError tryPort();

private:
    bool shiftBit(bool bit);

    Port &m_port;
    bool m_failing = false;
};
