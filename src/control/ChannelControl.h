// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"
#include "PerChannel.h"
#include "RelayBoard.h"
#include "RememberedState.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class Module1;

// The engine every front-end drives: the eight channels' output states and modes, their
// switching times, the port in use and the board behind it. Commands are plain functions that
// return their outcome; every change is announced by a signal, to the window, the service's bus
// interface and the network bridge alike. No command shows anything.
class ChannelControl : public QObject
{
    Q_OBJECT

public:
    enum class Outcome {
        Done,
        TimesMissing, // automatic mode needs both of the channel's times; refusalText() says so
    };

    ChannelControl(RelayBoard &board, Module1 &store, QObject *parent = nullptr);

    // From now on every change of times, modes, states or port is written to it.
    void attachMemory(RememberedState &memory);

    bool RelayState(int channel) const { return m_relayState[channel]; }
    bool AutoMode(int channel) const { return m_autoMode[channel]; }
    const Module1 &store() const { return m_store; }
    quint16 portNumber() const { return m_board.portNumber(); }
    QString device(quint16 portNumber) const { return m_board.device(portNumber); }
    // Why frames to the port in use fail; no error while they reach it.
    LinkError linkFailure() const { return m_linkFailure; }

    // The start: all off, no switching times, the port in use announced.
    void load();
    // A switch by hand ends automatic mode.
    void manualSwitch(int channel);
    void switchManually(int channel, bool on);
    Outcome toggleAutoMode(int channel);
    Outcome setAutomatic(int channel, bool automatic);
    // 00:00:00 counts as no time, as an empty slot does.
    void setTimes(int channel, QTime switchOn, QTime switchOff);
    void setAllTimes(const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff);
    void allOff();
    // Tries the port and puts it in force if it opens; portChangeFinished() tells how it went.
    // A newer change, or cancelPortChange(), makes an older one that has not finished void.
    quint64 changePort(quint16 portNumber);
    void cancelPortChange(quint64 trial);
    // Resumes what was remembered, after the load step: times and port as they were, manual
    // channels in their state, automatic ones in the state their times give for now.
    void restore(const RememberedState::Snapshot &snapshot, const QDateTime &now);

    // The schedule clock's step: switches the automatic channels as the times they crossed after
    // `since` up to `now` say.
    void applySchedule(const QDateTime &since, const QDateTime &now);
    // Writes the eight states to the board.
    void WriteRelays();

    // In the language in force, so made when asked for.
    static QString refusalText();

signals:
    void relayStateChanged(int channel, bool on);
    void autoModeChanged(int channel, bool automatic);
    void timesChanged(int channel);
    void portChanged(quint16 portNumber);
    // Frames to the port in use fail for the reason given; no error: they reach it again.
    void linkChanged(const LinkError &error);
    // Why the all-off left the given port for the other one.
    void portLeft(quint16 portNumber, const LinkError &why);
    void portChangeFinished(quint64 trial, const LinkError &error);

private:
    // These tell only a change, unless told to say it anyway.
    bool setRelayState(int channel, bool on, bool announce = false);
    bool setAutoMode(int channel, bool automatic, bool announce = false);
    bool storeTimes(int channel, QTime switchOn, QTime switchOff);
    void remember();
    void frameWritten(quint16 portNumber, RelayBoard::Frame frame, const LinkError &error);
    void portTried(quint64 trial, quint16 portNumber, const LinkError &error);
    void showLink(const LinkError &error);

    RelayBoard &m_board;
    Module1 &m_store;
    RememberedState *m_memory = nullptr;
    QString m_memoryProblem;
    RelayStates m_relayState;
    PerChannel<bool> m_autoMode;
    LinkError m_linkFailure;
    quint64 m_awaitedTrial = 0;
};
