// SPDX-License-Identifier: MIT
#include "ChannelControl.h"

#include "Module1.h"
#include "RelayBoard.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcChannels, "relvoog.control")

QString ChannelControl::refusalText()
{
    return tr("Automaatreziimi siirdumiseks peavad sisse- ja väljalülitumisajad olema "
              "defineeritud. Jätkan käsitsijuhtimisel!");
}

ChannelControl::ChannelControl(RelayBoard &board, Module1 &store, QObject *parent)
    : QObject(parent)
    , m_board(board)
    , m_store(store)
{
    connect(&m_board, &RelayBoard::frameWritten, this, &ChannelControl::frameWritten);
    connect(&m_board, &RelayBoard::portTried, this, &ChannelControl::portTried);
}

bool ChannelControl::setRelayState(int channel, bool on, bool announce)
{
    const bool changed = m_relayState[channel] != on;
    m_relayState[channel] = on;
    if (changed || announce)
        emit relayStateChanged(channel, on);
    return changed;
}

bool ChannelControl::setAutoMode(int channel, bool automatic, bool announce)
{
    const bool changed = m_autoMode[channel] != automatic;
    m_autoMode[channel] = automatic;
    if (changed || announce)
        emit autoModeChanged(channel, automatic);
    return changed;
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
        qCWarning(lcChannels).noquote() << tr("Muutusi ei jäeta meelde: %1.").arg(problem);
    m_memoryProblem = problem;
}

void ChannelControl::restore(const RememberedState::Snapshot &snapshot, const QDateTime &now)
{
    for (int channel = 1; channel <= kChannelCount; ++channel)
        storeTimes(channel, snapshot.switchOn[channel], snapshot.switchOff[channel]);
    m_board.setPortNumber(snapshot.portNumber);
    emit portChanged(snapshot.portNumber);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const bool automatic = snapshot.automatic[channel];
        setAutoMode(channel, automatic, true);
        setRelayState(
            channel, automatic ? m_store.isOnAt(channel, now) : snapshot.relayState[channel], true);
    }
    WriteRelays();
    remember();
}

void ChannelControl::WriteRelays()
{
    m_board.write(m_relayState);
}

void ChannelControl::load()
{
    allOff();
    for (int channel = 1; channel <= kChannelCount; ++channel)
        storeTimes(channel, QTime(), QTime());
    emit portChanged(m_board.portNumber());
    remember();
}

void ChannelControl::manualSwitch(int channel)
{
    switchManually(channel, !RelayState(channel));
}

void ChannelControl::switchManually(int channel, bool on)
{
    setAutoMode(channel, false);
    // Said even when the state stays, since the press is what the user sees answered.
    setRelayState(channel, on, true);
    WriteRelays();
    remember();
}

ChannelControl::Outcome ChannelControl::toggleAutoMode(int channel)
{
    return setAutomatic(channel, !AutoMode(channel));
}

ChannelControl::Outcome ChannelControl::setAutomatic(int channel, bool automatic)
{
    // Leaving asks for the times too: a channel whose time has been set to 00:00:00 since it
    // entered automatic mode stays in it until both times are defined or it is switched by hand.
    if (!m_store.isDefined(channel))
        return Outcome::TimesMissing;
    // The output keeps its state until the tick meets one of the channel's times.
    if (setAutoMode(channel, automatic))
        remember();
    return Outcome::Done;
}

bool ChannelControl::storeTimes(int channel, QTime switchOn, QTime switchOff)
{
    const QTime onBefore = m_store.SwitchOnTime(channel);
    const QTime offBefore = m_store.SwitchOffTime(channel);
    m_store.setSwitchOnTime(channel, switchOn);
    m_store.setSwitchOffTime(channel, switchOff);
    const bool changed
        = m_store.SwitchOnTime(channel) != onBefore || m_store.SwitchOffTime(channel) != offBefore;
    if (changed)
        emit timesChanged(channel);
    return changed;
}

namespace {
// A slot that has been set holds a time of day; no time is 00:00:00, as the dialog's pickers
// give it. So an automatic channel whose time is taken away goes on switching at midnight, as
// the tick has always done, and is remembered that way.
QTime setTime(QTime time)
{
    return time.isValid() ? time : QTime(0, 0);
}
} // namespace

void ChannelControl::setTimes(int channel, QTime switchOn, QTime switchOff)
{
    if (storeTimes(channel, setTime(switchOn), setTime(switchOff)))
        remember();
}

void ChannelControl::setAllTimes(
    const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff)
{
    bool changed = false;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        changed = storeTimes(channel, setTime(switchOn[channel]), setTime(switchOff[channel]))
            || changed;
    if (changed)
        remember();
}

void ChannelControl::allOff()
{
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        setAutoMode(channel, false, true);
        setRelayState(channel, false, true);
    }
    m_board.write(m_relayState, RelayBoard::Frame::AllOff);
    remember();
}

void ChannelControl::applySchedule(const QDateTime &since, const QDateTime &now)
{
    bool changed = false;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        if (!m_autoMode[channel])
            continue;
        if (const std::optional<bool> on = m_store.switchedBetween(channel, since, now))
            changed = setRelayState(channel, *on) || changed;
    }
    if (changed)
        remember();
}

quint64 ChannelControl::changePort(quint16 portNumber)
{
    m_awaitedTrial = m_board.tryPort(portNumber);
    return m_awaitedTrial;
}

void ChannelControl::cancelPortChange(quint64 trial)
{
    if (trial == m_awaitedTrial)
        m_awaitedTrial = 0;
}

void ChannelControl::portTried(quint64 trial, quint16 portNumber, const LinkError &error)
{
    // A trial that was cancelled or superseded never takes effect.
    if (trial != m_awaitedTrial)
        return;
    m_awaitedTrial = 0;
    LinkError outcome = error;
    if (!outcome.failed()) {
        outcome = m_board.setPortNumber(portNumber);
        emit portChanged(m_board.portNumber());
        remember();
    }
    emit portChangeFinished(trial, outcome);
}

void ChannelControl::showLink(const LinkError &error)
{
    const bool changed
        = error.failed() != m_linkFailure.failed() || error.text != m_linkFailure.text;
    m_linkFailure = error;
    if (changed)
        emit linkChanged(error);
}

void ChannelControl::frameWritten(
    quint16 portNumber, RelayBoard::Frame frame, const LinkError &error)
{
    if (portNumber != m_board.portNumber())
        return;
    // An all-off that cannot open the port in use moves to the other port, where the board may
    // hang, and writes there. Not from a port that has reached the board since it was chosen,
    // though: the board hangs there, and leaving would abandon it with its loads on. The ticks
    // go on writing the zeros to it until it answers again.
    if (frame == RelayBoard::Frame::AllOff && error.notOpened() && !m_board.portReached()) {
        m_board.setPortNumber(portNumber == 1 ? 2 : 1);
        qCInfo(lcChannels).noquote() << tr("Lähen üle pordile %1.").arg(m_board.portNumber());
        // The frames go to the other port from now on, so that is the one to show.
        emit portChanged(m_board.portNumber());
        emit portLeft(portNumber, error);
        remember();
        // Not an all-off again: with neither port usable it would move back and forth for ever.
        WriteRelays();
        return;
    }
    showLink(error);
}
