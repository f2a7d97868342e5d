// SPDX-License-Identifier: MIT
#include "BrokerProbe.h"

#include <mosquitto.h>

#include <chrono>

struct BrokerProbe::Callbacks
{
    static void message(mosquitto *, void *data, const mosquitto_message *message)
    {
        auto *probe = static_cast<BrokerProbe *>(data);
        const std::lock_guard<std::mutex> lock(probe->m_mutex);
        probe->m_messages.append({QString::fromUtf8(message->topic),
            QByteArray(message->payload ? static_cast<const char *>(message->payload) : "",
                message->payloadlen),
            std::chrono::nanoseconds(std::chrono::steady_clock::now().time_since_epoch()).count()});
    }

    static void subscribed(mosquitto *, void *data, int, int, const int *)
    {
        auto *probe = static_cast<BrokerProbe *>(data);
        const std::lock_guard<std::mutex> lock(probe->m_mutex);
        ++probe->m_acknowledged;
        probe->m_subscribed.notify_all();
    }
};

BrokerProbe::BrokerProbe(quint16 port, const QStringList &filters)
{
    mosquitto_lib_init();
    m_mosq = mosquitto_new(nullptr, true, this);
    mosquitto_message_callback_set(m_mosq, &Callbacks::message);
    mosquitto_subscribe_callback_set(m_mosq, &Callbacks::subscribed);
    mosquitto_int_option(m_mosq, MOSQ_OPT_TCP_NODELAY, 1);
    if (mosquitto_connect(m_mosq, "127.0.0.1", port, 60) != MOSQ_ERR_SUCCESS
        || mosquitto_loop_start(m_mosq) != MOSQ_ERR_SUCCESS)
        return;
    for (const QString &filter : filters)
        mosquitto_subscribe(m_mosq, nullptr, filter.toUtf8().constData(), 1);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_connected = m_subscribed.wait_for(lock, std::chrono::seconds(5),
        [this, &filters] { return m_acknowledged == filters.size(); });
}

BrokerProbe::~BrokerProbe()
{
    mosquitto_disconnect(m_mosq);
    mosquitto_loop_stop(m_mosq, false);
    mosquitto_destroy(m_mosq);
}

void BrokerProbe::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    mosquitto_publish(m_mosq, nullptr, topic.toUtf8().constData(), int(payload.size()),
        payload.constData(), 0, retain);
}

QList<BrokerProbe::Message> BrokerProbe::messages() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

QList<QByteArray> BrokerProbe::payloads(const QString &topic) const
{
    QList<QByteArray> found;
    for (const Message &message : messages())
        if (message.topic == topic)
            found << message.payload;
    return found;
}

QByteArray BrokerProbe::last(const QString &topic) const
{
    const QList<QByteArray> found = payloads(topic);
    return found.isEmpty() ? QByteArray() : found.constLast();
}
