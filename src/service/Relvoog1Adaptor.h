// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>

#include <chrono>

class ChannelControl;

// The engine on D-Bus, as ee.relvoog.Relvoog1: reads the channels and the port, runs the
// commands of the window's buttons and dialog for any client, and announces every change the
// engine announces. Every command is logged with who sent it.
class Relvoog1Adaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "ee.relvoog.Relvoog1")
    Q_PROPERTY(QList<bool> RelayStates READ relayStates)
    Q_PROPERTY(QList<bool> AutomaticModes READ automaticModes)
    Q_PROPERTY(QStringList SwitchOnTimes READ switchOnTimes)
    Q_PROPERTY(QStringList SwitchOffTimes READ switchOffTimes)
    Q_PROPERTY(quint16 PortNumber READ portNumber)
    Q_PROPERTY(QString Device READ device)
    Q_PROPERTY(QString LinkFailure READ linkFailure)

public:
    // Adapts the engine, which it becomes a child of, for the objects registered on the bus.
    Relvoog1Adaptor(ChannelControl &channels, const QDBusConnection &bus);

    QList<bool> relayStates() const;
    QList<bool> automaticModes() const;
    QStringList switchOnTimes() const;
    QStringList switchOffTimes() const;
    quint16 portNumber() const;
    QString device() const;
    QString linkFailure() const;

    // How long the bus may take to say who sent a command.
    static constexpr std::chrono::milliseconds kCallerLookupLimit {500};

public slots:
    // Each command takes the call's message last, which QtDBus passes and leaves out of the
    // interface: it names the sender, and lets a refusal or a late answer be sent.
    void Switch(int channel, bool on, const QDBusMessage &message);
    void Toggle(int channel, const QDBusMessage &message);
    void SetAutomatic(int channel, bool automatic, const QDBusMessage &message);
    void SetTimes(int channel, const QString &switchOn, const QString &switchOff,
        const QDBusMessage &message);
    void AllOff(const QDBusMessage &message);
    void ChangePort(quint16 port, const QDBusMessage &message);

signals:
    void RelayStateChanged(int channel, bool on);
    void AutomaticModeChanged(int channel, bool automatic);
    void TimesChanged(int channel, const QString &switchOn, const QString &switchOff);
    void PortChanged(quint16 port, const QString &device);
    void LinkChanged(quint16 port, const QString &failure);
    void PortLeft(quint16 port, const QString &why);

private:
    struct Refusal
    {
        QString name; // empty: none
        QString text;
    };

    static Refusal checkChannel(int channel);
    // Logs the command with its sender, and replies with the refusal if there is one.
    void answer(const QDBusMessage &message, const QString &command, const Refusal &refusal = {});
    QString caller(const QDBusMessage &message) const;
    void portChangeFinished(quint64 trial, const LinkError &error);
    // Tells the caller of the port change under way that a newer one took its place.
    void supersede();

    ChannelControl &m_channels;
    QDBusConnection m_bus;
    // The port change under way, and who asked for it: the reply waits for its trial.
    quint64 m_trial = 0;
    QDBusMessage m_portRequest;
    QString m_portCommand;
};
