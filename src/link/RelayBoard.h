#pragma once

#include <array>
#include <functional>

class Port;

// Index 0 holds channel 1. Only the value 1 means "on".
using RelayStates = std::array<int, 8>;

// Puts relay frames on the wire: eight bits shifted in on DTR, clocked by RTS pulses, channel 8
// first, then one character that latches them into the board's outputs.
class RelayBoard
{
public:
    explicit RelayBoard(Port &port);

    Port &port() const { return m_port; }

    // Writes the eight states; false if the frame did not reach the line. The port is closed
    // afterwards either way.
    bool WriteRelays(const RelayStates &relayState);

    // Writes eight zeros, moving to the other port when the one in use cannot be opened. Every
    // failure is ignored. afterBit(i) runs right after the zero of channel i has been shifted.
    void WriteAllOff(const std::function<void(int channel)> &afterBit = {});

private:
    bool shiftBit(bool bit);

    Port &m_port;
    bool m_failing = false;
};
