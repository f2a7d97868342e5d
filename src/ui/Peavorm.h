// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QWidget>

class ChannelControl;
class Lamp;
class QLabel;
class QPushButton;
class ScheduleClock;
class ScheduleConfirmation;

// The main window: eight channel panels, the command buttons and the status line. It binds the
// buttons to the channel commands and shows what they announce; the decisions are theirs.
class Peavorm : public QWidget
{
    Q_OBJECT

public:
    Peavorm(ChannelControl &channels, ScheduleClock &clock, ScheduleConfirmation &confirmation,
        QWidget *parent = nullptr);

    // Something the user should know about the start, such as why nothing was restored.
    void showStartNote(const QString &note);
    // Whether the MQTT broker is connected: its address, or why not.
    void showBrokerState(bool connected, const QString &detail);

    // Quits: unloads the window, which ends the program. Nothing is written to the board.
    void CloseMain();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    struct ChannelPanel
    {
        QPushButton *switchButton = nullptr;
        QPushButton *autoButton = nullptr;
        Lamp *autoLamp = nullptr;
        Lamp *stateLamp = nullptr;
    };

    void buildControls();
    void bindCommands();
    void toggleAutoMode(int channel);
    void showSchedule();
    void showRelayState(int channel, bool on);
    void showAutoMode(int channel, bool automatic);
    void showPortNumber(quint16 port);
    void showLinkFailure(const LinkError &error);
    void showPortLeft(quint16 port, const LinkError &why);
    void showPortState();

    ChannelControl &m_channels;
    ScheduleClock &m_clock;
    ScheduleConfirmation &m_confirmation;

    PerChannel<ChannelPanel> m_panels;
    QPushButton *m_comOff = nullptr;
    QPushButton *m_comLisad = nullptr;
    QPushButton *m_comLopp = nullptr;
    QLabel *m_kell = nullptr;
    QLabel *m_kuupaev = nullptr;
    QLabel *m_portLabel = nullptr;
    // What the port label's tooltip tells besides its number: why frames fail, why a port was
    // left, what went wrong at the start, and how the MQTT broker is reached.
    QString m_linkFailure;
    QString m_portLeft;
    QString m_startNote;
    QString m_brokerState;
};
