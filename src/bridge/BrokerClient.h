// SPDX-License-Identifier: MIT
#pragma once

#include "MqttSettings.h"

#include <QObject>
#include <QTimer>

#include <chrono>

class MosquittoLibrary;
class QSocketNotifier;
struct mosquitto;

// One MQTT connection, kept up for as long as the client runs: it connects, and after a broker
// that is down, refuses it or goes away, tries again with growing pauses of at most 30 s.
//
// It lives on a thread of its own and is driven only by queued calls, so that a name lookup, a
// TLS handshake or a broker that stalls never holds the tick, the frame writer or the window. The
// socket is watched by the thread's event loop; libmosquitto does the protocol.
class BrokerClient : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kFirstRetry {1000};
    static constexpr std::chrono::milliseconds kLongestRetry {30000};

    // The will is published by the broker, retained, when the connection ends without a word
    // from the client: a crash, a lost network, or finish().
    BrokerClient(const MqttSettings &settings, const QString &willTopic,
        const QByteArray &willPayload, std::chrono::milliseconds firstRetry = kFirstRetry);
    ~BrokerClient() override;

    // These run on the client's thread.
    void start();
    // Dropped while the client is not connected: connected() is the time to publish everything.
    void publish(const QString &topic, const QByteArray &payload, bool retain);
    void subscribe(const QStringList &filters);
    // Ends the connection with the will and stops trying; the thread ends with it.
    void finish();

signals:
    void connected();
    void disconnected(const QString &why);
    // The retain flag as published, not only for the messages kept by the broker.
    void received(const QString &topic, const QByteArray &payload, bool retained);

private:
    // For a failure that trying again cannot mend.
    void stopFor(const QString &why);
    void tryConnect();
    void watchSocket();
    void dropSocket();
    // The socket is ready for one of the library's loop calls.
    void serviceSocket(int (*loop)(mosquitto *, int));
    // Why the socket no longer works, while the library may not see it; empty while it works.
    QString socketFailure() const;
    // After every call into the library: a failure ends the connection, and the socket is
    // watched for writing while the library has something to send.
    void serviced(int result);
    void lost(const QString &why);
    // After a publication or a subscription was handed to the library.
    void requested(const QString &topic, int result);
    QString failureText(int result) const;

    // libmosquitto's callbacks, called from inside the calls above on the client's thread.
    struct Callbacks;
    friend struct Callbacks;

    const MqttSettings m_settings;
    const QString m_willTopic;
    const QByteArray m_willPayload;
    const std::chrono::milliseconds m_firstRetry;
    std::chrono::milliseconds m_retryDelay;
    const MosquittoLibrary *m_lib = nullptr;
    mosquitto *m_mosq = nullptr;
    QSocketNotifier *m_reader = nullptr;
    QSocketNotifier *m_writer = nullptr;
    QTimer m_retry {this};
    QTimer m_keepAlive {this};
    bool m_connected = false;
    bool m_finished = false;
    // What the library or the broker said last about a failing attempt.
    QString m_refusal;
    // The last failure logged, so that a broker that stays away is logged once.
    QString m_loggedFailure;
};
