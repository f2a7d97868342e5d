#pragma once

#include "PerChannel.h"
#include "RelayBoard.h"
#include "RememberedState.h"

#include <QString>

class ChannelView;
class Module1;
class RememberedState;

// The eight channels' output states and modes, and the commands the window's buttons run on
// them. The window is attached as the view before the load step.
class ChannelControl
{
public:
    ChannelControl(RelayBoard &board, Module1 &store);

    void attachView(ChannelView &view) { m_view = &view; }
    // From now on every change of times, modes, states or port is written to it.
    void attachMemory(RememberedState &memory);

    bool RelayState(int channel) const { return m_relayState[channel]; }
    bool AutoMode(int channel) const { return m_autoMode[channel]; }

    // The window's load step: all off, no switching times, the port in use shown.
    void load();
    void manualSwitch(int channel);
    void toggleAutoMode(int channel);
    void allOff();
    void settings();
    // Resumes what was remembered, after the load step: times and port as they were, manual
    // channels in their state, automatic ones in the state their times give for now.
    void restore(const RememberedState::Snapshot &snapshot, QTime now);

    // Used by the schedule clock: sets the state and shows it, without touching the mode.
    void setRelayState(int channel, bool on);
    void WriteRelays(RelayBoard::Frame frame = RelayBoard::Frame::Tick);

    static const QString kRefusal;

private:
    void setAutoMode(int channel, bool automatic);
    void remember();
    void frameWritten(quint16 portNumber, RelayBoard::Frame frame, const LinkError &error);

    RelayBoard &m_board;
    Module1 &m_store;
    ChannelView *m_view = nullptr;
    RememberedState *m_memory = nullptr;
    QString m_memoryProblem;
    RelayStates m_relayState;
    PerChannel<bool> m_autoMode;
};
