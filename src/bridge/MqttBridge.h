// SPDX-License-Identifier: MIT
#pragma once

#include "BrokerClient.h"
#include "MqttSettings.h"

#include <QHash>
#include <QObject>

class ChannelControl;
class QThread;

// The channels on an MQTT broker, for Home Assistant and whatever else speaks MQTT: one more
// front-end of the engine. Every change it announces is published under the topic root, retained,
// once; commands arriving on the root's /set topics are carried out as the window's buttons carry
// them out, and a command refused or ignored is told on the error topic. The connection runs on a
// thread of its own and is opened at construction.
class MqttBridge : public QObject
{
    Q_OBJECT

public:
    static constexpr int kLongestCommand = 64; // bytes

    MqttBridge(ChannelControl &channels, const MqttSettings &settings,
        std::chrono::milliseconds firstRetry = BrokerClient::kFirstRetry,
        QObject *parent = nullptr);
    // Ends the connection, so that the broker publishes "offline" on the status topic.
    ~MqttBridge() override;

signals:
    // Connected, with the broker's "host:port", or not, with why.
    void connectionChanged(bool connected, const QString &detail);

private:
    void brokerConnected();
    void brokerDisconnected(const QString &why);
    void received(const QString &topic, const QByteArray &payload, bool retained);
    // Why the command cannot be carried out; empty when it was.
    QString carryOut(const QString &topic, const QByteArray &payload, bool retained);
    void publishRelayState(int channel);
    void publishMode(int channel);
    void publishTimes(int channel);
    void publishLink();
    // Only a change of what the topic shows is published.
    void publishState(const QString &suffix, const QByteArray &payload);
    void publish(const QString &topic, const QByteArray &payload, bool retain);
    QString topic(const QString &suffix) const;

    ChannelControl &m_channels;
    const MqttSettings m_settings;
    QThread *m_thread = nullptr;
    BrokerClient *m_client = nullptr;
    bool m_connected = false;
    // What each state topic below the root shows since the connection began.
    QHash<QString, QByteArray> m_shown;
};
