// SPDX-License-Identifier: MIT
#include "BrokerClient.h"

#include "MosquittoLibrary.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QThread>

#include <mqtt_protocol.h>

#include <cerrno>
#include <sys/socket.h>
#include <vector>

Q_LOGGING_CATEGORY(lcMqtt, "relvoog.mqtt")

namespace {
constexpr int kKeepAliveSeconds = 30;
// The library sends its pings and notices a silent broker when asked, at most this late.
constexpr std::chrono::seconds kKeepAliveCheck {1};
// What the program publishes goes at most once: libmosquitto would send again, after a
// reconnection, what it had not seen acknowledged, and that could come after the fresh state
// published for the new connection. Everything is published anew at each connection anyway.
constexpr int kPublishQos = 0;
// The will and the commands are acknowledged on their way.
constexpr int kQos = 1;

bool isConnectionFailure(int result)
{
    return result == MOSQ_ERR_NO_CONN || result == MOSQ_ERR_CONN_LOST || result == MOSQ_ERR_ERRNO;
}
} // namespace

struct BrokerClient::Callbacks
{
    static void connect(mosquitto *, void *data, int reason, int, const mosquitto_property *)
    {
        auto *client = static_cast<BrokerClient *>(data);
        if (reason != 0) {
            // The library ends the connection right after this; lost() tells why.
            client->m_refusal
                = QString::fromUtf8(reason < 128 ? client->m_lib->mosquitto_connack_string(reason)
                                                 : client->m_lib->mosquitto_reason_string(reason));
            return;
        }
        client->m_connected = true;
        client->m_refusal.clear();
        client->m_retryDelay = client->m_firstRetry;
        qCInfo(lcMqtt).noquote()
            << tr("Ühendus MQTT-vahendajaga %1 on loodud.").arg(client->m_settings.broker());
        client->m_loggedFailure.clear();
        emit client->connected();
    }

    static void disconnect(mosquitto *, void *data, int result, const mosquitto_property *)
    {
        auto *client = static_cast<BrokerClient *>(data);
        client->lost(client->failureText(result));
    }

    static void message(
        mosquitto *, void *data, const mosquitto_message *message, const mosquitto_property *)
    {
        auto *client = static_cast<BrokerClient *>(data);
        emit client->received(QString::fromUtf8(message->topic),
            QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
            message->retain);
    }

    // The library's errors say more than its result codes, such as that a certificate was
    // refused; not whether for its CA or for its name, though.
    static void log(mosquitto *, void *data, int level, const char *text)
    {
        if (!(level & MOSQ_LOG_ERR))
            return;
        auto *client = static_cast<BrokerClient *>(data);
        client->m_refusal = QString::fromUtf8(text);
        if (client->m_refusal.contains(QLatin1String("certificate verify failed")))
            client->m_refusal += client->m_settings.caFile.isEmpty()
                ? tr(": vahendaja sertifikaat pole süsteemi usaldatud CA allkirjastatud või pole "
                     "välja antud nimele %1")
                      .arg(client->m_settings.host)
                : tr(
                    ": vahendaja sertifikaat pole allkirjastatud failis %1 oleva CA poolt või pole "
                    "välja antud nimele %2")
                      .arg(client->m_settings.caFile, client->m_settings.host);
    }
};

BrokerClient::BrokerClient(const MqttSettings &settings, const QString &willTopic,
    const QByteArray &willPayload, std::chrono::milliseconds firstRetry)
    : m_settings(settings)
    , m_willTopic(willTopic)
    , m_willPayload(willPayload)
    , m_firstRetry(firstRetry)
    , m_retryDelay(firstRetry)
{
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &BrokerClient::tryConnect);
    m_keepAlive.setInterval(kKeepAliveCheck);
    connect(&m_keepAlive, &QTimer::timeout, this,
        [this] { serviced(m_lib->mosquitto_loop_misc(m_mosq)); });
}

BrokerClient::~BrokerClient()
{
    if (m_mosq)
        m_lib->mosquitto_destroy(m_mosq);
}

void BrokerClient::start()
{
    QString problem;
    m_lib = MosquittoLibrary::load(&problem);
    if (!m_lib) {
        stopFor(QStringLiteral("libmosquitto: ") + problem);
        return;
    }
    // One id per board: a restart takes over the connection its crashed predecessor may have
    // left half open, rather than that one's will telling "offline" after the new "online".
    m_mosq = m_lib->mosquitto_new(
        (QStringLiteral("relvoog-") + m_settings.boardId()).toUtf8().constData(), true, this);
    // Version 5, for the retain flag as published: a retained command is ignored whether the
    // broker kept it or passes it on as it arrives.
    m_lib->mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    // A state message goes out at once, not after the acknowledgement of the one before it.
    m_lib->mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    if (!m_settings.username.isEmpty())
        m_lib->mosquitto_username_pw_set(m_mosq, m_settings.username.toUtf8().constData(),
            m_settings.password.isNull() ? nullptr : m_settings.password.constData());
    m_lib->mosquitto_will_set_v5(m_mosq, m_willTopic.toUtf8().constData(),
        int(m_willPayload.size()), m_willPayload.constData(), kQos, true, nullptr);
    if (m_settings.tls) {
        // Debian's folder of the system's CAs: libmosquitto's own choice of the system's CAs
        // works for the first connection only.
        const int result = m_settings.caFile.isEmpty()
            ? m_lib->mosquitto_tls_set(m_mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
            : m_lib->mosquitto_tls_set(m_mosq, m_settings.caFile.toLocal8Bit().constData(), nullptr,
                nullptr, nullptr, nullptr);
        // Without its CA the library would connect without TLS; better not at all.
        if (result != MOSQ_ERR_SUCCESS) {
            stopFor(tr("TLS ei tööta failiga %1: %2").arg(m_settings.caFile, failureText(result)));
            return;
        }
        // The broker's certificate must be issued for the host name it is reached by.
        m_lib->mosquitto_tls_insecure_set(m_mosq, false);
    }
    m_lib->mosquitto_connect_v5_callback_set(m_mosq, &Callbacks::connect);
    m_lib->mosquitto_disconnect_v5_callback_set(m_mosq, &Callbacks::disconnect);
    m_lib->mosquitto_message_v5_callback_set(m_mosq, &Callbacks::message);
    m_lib->mosquitto_log_callback_set(m_mosq, &Callbacks::log);
    tryConnect();
}

void BrokerClient::stopFor(const QString &why)
{
    m_finished = true;
    qCWarning(lcMqtt).noquote() << tr("MQTT jääb välja: %1.").arg(why);
    emit disconnected(why);
}

void BrokerClient::tryConnect()
{
    m_refusal.clear();
    const int result = m_lib->mosquitto_connect_async(
        m_mosq, m_settings.host.toUtf8().constData(), m_settings.port, kKeepAliveSeconds);
    if (result != MOSQ_ERR_SUCCESS) {
        lost(failureText(result));
        return;
    }
    watchSocket();
}

void BrokerClient::watchSocket()
{
    const int socket = m_lib->mosquitto_socket(m_mosq);
    m_reader = new QSocketNotifier(socket, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this,
        [this] { serviceSocket(m_lib->mosquitto_loop_read); });
    m_writer = new QSocketNotifier(socket, QSocketNotifier::Write, this);
    connect(m_writer, &QSocketNotifier::activated, this,
        [this] { serviceSocket(m_lib->mosquitto_loop_write); });
    m_keepAlive.start();
    serviced(MOSQ_ERR_SUCCESS);
}

void BrokerClient::serviceSocket(int (*loop)(mosquitto *, int))
{
    // Until the broker has answered, libmosquitto takes a TLS handshake on a socket that failed
    // or was closed for one still under way, and would be called again and again.
    if (!m_connected) {
        const QString failure = socketFailure();
        if (!failure.isEmpty()) {
            lost(failure);
            return;
        }
    }
    serviced(loop(m_mosq, 1));
}

QString BrokerClient::socketFailure() const
{
    const int socket = m_lib->mosquitto_socket(m_mosq);
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error != 0)
        return qt_error_string(error);
    char byte;
    if (recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
        return tr("vahendaja keeldus ühendusest või sulges selle enne TLS-i kokkulepet");
    return {};
}

void BrokerClient::dropSocket()
{
    m_keepAlive.stop();
    // Called from inside their own signals, too.
    for (QSocketNotifier *notifier : {m_reader, m_writer}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_reader = nullptr;
    m_writer = nullptr;
}

void BrokerClient::serviced(int result)
{
    if (result != MOSQ_ERR_SUCCESS) {
        lost(failureText(result));
        return;
    }
    if (m_writer)
        m_writer->setEnabled(m_lib->mosquitto_want_write(m_mosq));
}

void BrokerClient::lost(const QString &why)
{
    dropSocket();
    // The library tells a failure both by its callback and by the result of the call that met
    // it; the first one counts.
    if (m_finished || m_retry.isActive())
        return;
    const bool wasConnected = std::exchange(m_connected, false);
    if (wasConnected || why != m_loggedFailure) {
        if (wasConnected)
            qCWarning(lcMqtt).noquote()
                << tr("Ühendus MQTT-vahendajaga %1 katkes: %2.").arg(m_settings.broker(), why);
        else
            qCWarning(lcMqtt).noquote()
                << tr("MQTT-vahendajaga %1 ei saa ühendust: %2 (proovin uuesti, hiljemalt %3 s "
                      "pärast).")
                       .arg(m_settings.broker(), why)
                       .arg(kLongestRetry.count() / 1000);
        m_loggedFailure = why;
        emit disconnected(why);
    }
    m_retry.start(m_retryDelay);
    m_retryDelay = std::min(m_retryDelay * 2, kLongestRetry);
}

QString BrokerClient::failureText(int result) const
{
    const int error = errno;
    if (!m_refusal.isEmpty())
        return m_refusal;
    if (result == MOSQ_ERR_ERRNO)
        return qt_error_string(error);
    return QString::fromUtf8(m_lib->mosquitto_strerror(result));
}

void BrokerClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!m_connected)
        return;
    requested(topic,
        m_lib->mosquitto_publish_v5(m_mosq, nullptr, topic.toUtf8().constData(),
            int(payload.size()), payload.constData(), kPublishQos, retain, nullptr));
}

void BrokerClient::subscribe(const QStringList &filters)
{
    if (!m_connected)
        return;
    std::vector<QByteArray> names;
    std::vector<char *> pointers;
    for (const QString &filter : filters)
        names.push_back(filter.toUtf8());
    for (QByteArray &name : names)
        pointers.push_back(name.data());
    requested(filters.join(QLatin1Char(' ')),
        m_lib->mosquitto_subscribe_multiple(m_mosq, nullptr, int(pointers.size()), pointers.data(),
            kQos, MQTT_SUB_OPT_RETAIN_AS_PUBLISHED, nullptr));
}

void BrokerClient::requested(const QString &topic, int result)
{
    // A broken connection shows on the socket, which is then read.
    if (result != MOSQ_ERR_SUCCESS && !isConnectionFailure(result))
        qCWarning(lcMqtt).noquote()
            << tr("MQTT teek ei võtnud vastu: %1: %2.")
                   .arg(topic, QString::fromUtf8(m_lib->mosquitto_strerror(result)));
    serviced(MOSQ_ERR_SUCCESS);
}

void BrokerClient::finish()
{
    m_finished = true;
    m_retry.stop();
    // The broker then publishes the will itself, so that "offline" comes the same way whether
    // the program ends or dies.
    if (m_connected)
        m_lib->mosquitto_disconnect_v5(m_mosq, MQTT_RC_DISCONNECT_WITH_WILL_MSG, nullptr);
    m_connected = false;
    dropSocket();
    thread()->quit();
}
