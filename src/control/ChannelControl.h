#pragma once

#include "RelayBoard.h"

#include <QString>

class ChannelView;
class Module1;

// The eight channels' output states and modes, and the commands the window's buttons run on
// them. Channels are numbered 1 to 8.
class ChannelControl
{
public:
    ChannelControl(RelayBoard &board, Module1 &store, ChannelView &view);

    int RelayState(int channel) const { return m_relayState[channel - 1]; }
    int AutoMode(int channel) const { return m_autoMode[channel - 1]; }

    // The window's load step: all off, no switching times, the port in use shown.
    void load();
    void manualSwitch(int channel);
    void toggleAutoMode(int channel);
    void allOff();
    void settings();

    // Used by the schedule clock: sets the state and its indicators, without touching the mode.
    void setRelayState(int channel, int state);
    bool WriteRelays();

    static const QString kRefusal;

private:
    void setAutoMode(int channel, int mode);

    RelayBoard &m_board;
    Module1 &m_store;
    ChannelView &m_view;
    RelayStates m_relayState {};
    std::array<int, 8> m_autoMode {};
};
