// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>

struct mosquitto;

// A client of the test's own on a broker on 127.0.0.1: it subscribes, keeps every message it
// receives with the moment it came, and publishes. It runs libmosquitto's own thread, so a test
// can wait on it from its event loop.
class BrokerProbe
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        qint64 arrivedNs = 0; // on the monotonic clock, as the virtual board's trace
    };

    // Connected and subscribed when it returns, unless isConnected() says otherwise.
    explicit BrokerProbe(quint16 port, const QStringList &filters);
    ~BrokerProbe();
    BrokerProbe(const BrokerProbe &) = delete;
    BrokerProbe &operator=(const BrokerProbe &) = delete;

    bool isConnected() const { return m_connected; }
    void publish(const QString &topic, const QByteArray &payload, bool retain = false);

    QList<Message> messages() const;
    // Every payload on the topic in the order they came.
    QList<QByteArray> payloads(const QString &topic) const;
    // The last payload on the topic; null if none came.
    QByteArray last(const QString &topic) const;

private:
    struct Callbacks;

    mosquitto *m_mosq = nullptr;
    bool m_connected = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_subscribed;
    int m_acknowledged = 0;
    QList<Message> m_messages;
};
