#include "ChannelControl.h"

#include "ChannelView.h"
#include "Module1.h"
#include "RelayBoard.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChannels, "relvoog.control")

const QString ChannelControl::kRefusal = QStringLiteral(
    "Automaatreziimi siirdumiseks peavad sisse- ja väljalülitumisajad olema defineeritud. "
    "Jätkan käsitsijuhtimisel!");

ChannelControl::ChannelControl(RelayBoard &board, Module1 &store)
    : m_board(board)
    , m_store(store)
{
    QObject::connect(&m_board, &RelayBoard::frameWritten, &m_board,
        [this](quint16 portNumber, RelayBoard::Frame frame, const LinkError &error) {
            frameWritten(portNumber, frame, error);
        });
}

void ChannelControl::setRelayState(int channel, bool on)
{
    m_relayState[channel] = on;
    m_view->showRelayState(channel, on);
}

void ChannelControl::setAutoMode(int channel, bool automatic)
{
    m_autoMode[channel] = automatic;
    m_view->showAutoMode(channel, automatic);
}

void ChannelControl::attachMemory(RememberedState &memory)
{
    m_memory = &memory;
    remember();
}

void ChannelControl::remember()
{
    if (!m_memory)
        return;
    RememberedState::Snapshot snapshot;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        snapshot.switchOn[channel] = m_store.SwitchOnTime(channel);
        snapshot.switchOff[channel] = m_store.SwitchOffTime(channel);
    }
    snapshot.automatic = m_autoMode;
    snapshot.relayState = m_relayState;
    snapshot.portNumber = m_board.portNumber();
    // Once is enough to tell; the next change tries again.
    QString problem;
    if (!m_memory->save(snapshot, &problem) && problem != m_memoryProblem)
        qCWarning(lcChannels).noquote() << "cannot remember the channels:" << problem;
    m_memoryProblem = problem;
}

void ChannelControl::restore(const RememberedState::Snapshot &snapshot, QTime now)
{
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        m_store.setSwitchOnTime(channel, snapshot.switchOn[channel]);
        m_store.setSwitchOffTime(channel, snapshot.switchOff[channel]);
    }
    m_board.setPortNumber(snapshot.portNumber);
    m_view->showPortNumber(snapshot.portNumber);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const bool automatic = snapshot.automatic[channel];
        setAutoMode(channel, automatic);
        setRelayState(channel,
            automatic ? RememberedState::isOnAt(
                now, snapshot.switchOn[channel], snapshot.switchOff[channel])
                      : snapshot.relayState[channel]);
    }
    WriteRelays(RelayBoard::Frame::Manual);
}

void ChannelControl::WriteRelays(RelayBoard::Frame frame)
{
    m_board.write(m_relayState, frame);
    remember();
}

void ChannelControl::load()
{
    allOff();
    m_store.clear();
    m_view->showPortNumber(m_board.portNumber());
}

void ChannelControl::manualSwitch(int channel)
{
    setAutoMode(channel, false);
    setRelayState(channel, !RelayState(channel));
    WriteRelays(RelayBoard::Frame::Manual);
}

void ChannelControl::toggleAutoMode(int channel)
{
    if (!m_store.isDefined(channel)) {
        m_view->showSchedule();
        // The dialog may have stored times, and the tick may have run while it was open.
        if (!m_store.isDefined(channel)) {
            remember();
            m_view->showRefusal(kRefusal);
            return;
        }
    }
    setAutoMode(channel, !AutoMode(channel));
    remember();
}

void ChannelControl::allOff()
{
    m_board.write(RelayStates(), RelayBoard::Frame::AllOff);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        setAutoMode(channel, false);
        setRelayState(channel, false);
    }
    remember();
}

void ChannelControl::frameWritten(
    quint16 portNumber, RelayBoard::Frame frame, const LinkError &error)
{
    if (portNumber != m_board.portNumber())
        return;
    // An all-off that cannot open the port in use moves to the other port, where the board may
    // hang, and writes its zeros there. Not from a port that has reached the board since it was
    // chosen, though: the board hangs there, and leaving would abandon it with its loads on.
    // The ticks go on writing the zeros to it until it answers again.
    if (frame == RelayBoard::Frame::AllOff && error.notOpened() && !m_board.portReached()) {
        m_board.setPortNumber(portNumber == 1 ? 2 : 1);
        qCInfo(lcChannels) << "moving to port" << m_board.portNumber();
        // The frames go to the other port from now on, so that is the one to show.
        m_view->showPortNumber(m_board.portNumber());
        m_view->showPortLeft(portNumber, error);
        remember();
        m_board.write(RelayStates(), RelayBoard::Frame::Manual);
        return;
    }
    m_view->showLinkFailure(error);
}

void ChannelControl::settings()
{
    m_view->showSchedule();
    remember();
}
