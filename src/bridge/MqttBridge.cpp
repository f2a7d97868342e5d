// SPDX-License-Identifier: MIT
#include "MqttBridge.h"

#include "ChannelControl.h"
#include "HomeAssistantDiscovery.h"
#include "Module1.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QThread>

Q_LOGGING_CATEGORY(lcBridge, "relvoog.mqtt")

namespace {
// A hung name lookup cannot be cut short; quitting does not wait for it longer than this.
constexpr std::chrono::milliseconds kFinishLimit {500};

QByteArray onOff(bool on)
{
    return on ? QByteArrayLiteral("ON") : QByteArrayLiteral("OFF");
}

// 00:00:00 counts as no time, as an empty slot does.
QByteArray timeText(QTime time)
{
    return time.isValid() && time != QTime(0, 0)
        ? time.toString(QStringLiteral("HH:mm:ss")).toLatin1()
        : QByteArray();
}

// A payload as it can be shown in a log line: bytes outside printable ASCII as \xNN.
QString shown(const QByteArray &payload)
{
    QString text;
    for (const char byte : payload) {
        if (byte >= 0x20 && byte < 0x7f && byte != '\\')
            text += QLatin1Char(byte);
        else
            text += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QLatin1Char('0'));
    }
    return QLatin1Char('"') + text + QLatin1Char('"');
}
} // namespace

MqttBridge::MqttBridge(ChannelControl &channels, const MqttSettings &settings,
    std::chrono::milliseconds firstRetry, QObject *parent)
    : QObject(parent)
    , m_channels(channels)
    , m_settings(settings)
    , m_thread(new QThread)
    , m_client(new BrokerClient(
          settings, topic(QStringLiteral("status")), QByteArrayLiteral("offline"), firstRetry))
{
    m_thread->setObjectName(QStringLiteral("mqtt"));
    m_client->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_client, &QObject::deleteLater);
    connect(m_client, &BrokerClient::connected, this, &MqttBridge::brokerConnected);
    connect(m_client, &BrokerClient::disconnected, this, &MqttBridge::brokerDisconnected);
    connect(m_client, &BrokerClient::received, this, &MqttBridge::received);

    connect(&m_channels, &ChannelControl::relayStateChanged, this,
        [this](int channel) { publishRelayState(channel); });
    connect(&m_channels, &ChannelControl::autoModeChanged, this,
        [this](int channel) { publishMode(channel); });
    connect(&m_channels, &ChannelControl::timesChanged, this, &MqttBridge::publishTimes);
    connect(&m_channels, &ChannelControl::portChanged, this, &MqttBridge::publishLink);
    connect(&m_channels, &ChannelControl::linkChanged, this, &MqttBridge::publishLink);

    m_thread->start();
    QMetaObject::invokeMethod(
        m_client, [client = m_client] { client->start(); }, Qt::QueuedConnection);
}

MqttBridge::~MqttBridge()
{
    QMetaObject::invokeMethod(
        m_client, [client = m_client] { client->finish(); }, Qt::QueuedConnection);
    if (m_thread->wait(QDeadlineTimer(kFinishLimit))) {
        delete m_thread;
        return;
    }
    // The thread and its client are left to the end of the process.
    qCWarning(lcBridge).noquote()
        << tr("MQTT-ühendus vahendajaga %1 ei lõppenud õigel ajal.").arg(m_settings.broker());
}

QString MqttBridge::topic(const QString &suffix) const
{
    return m_settings.topic + QLatin1Char('/') + suffix;
}

void MqttBridge::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    QMetaObject::invokeMethod(
        m_client,
        [client = m_client, topic, payload, retain] { client->publish(topic, payload, retain); },
        Qt::QueuedConnection);
}

void MqttBridge::publishState(const QString &suffix, const QByteArray &payload)
{
    if (!m_connected)
        return;
    const auto shownNow = m_shown.constFind(suffix);
    if (shownNow != m_shown.cend() && *shownNow == payload)
        return;
    m_shown.insert(suffix, payload);
    publish(topic(suffix), payload, true);
}

void MqttBridge::publishRelayState(int channel)
{
    publishState(
        QStringLiteral("channel/%1/state").arg(channel), onOff(m_channels.RelayState(channel)));
}

void MqttBridge::publishMode(int channel)
{
    publishState(QStringLiteral("channel/%1/mode").arg(channel),
        m_channels.AutoMode(channel) ? QByteArrayLiteral("auto") : QByteArrayLiteral("manual"));
}

void MqttBridge::publishTimes(int channel)
{
    publishState(QStringLiteral("channel/%1/on_time").arg(channel),
        timeText(m_channels.store().SwitchOnTime(channel)));
    publishState(QStringLiteral("channel/%1/off_time").arg(channel),
        timeText(m_channels.store().SwitchOffTime(channel)));
}

void MqttBridge::publishLink()
{
    const quint16 port = m_channels.portNumber();
    const LinkError failure = m_channels.linkFailure();
    const QJsonObject link {
        {QStringLiteral("port"), port},
        {QStringLiteral("device"), m_channels.device(port)},
        {QStringLiteral("ok"), !failure.failed()},
        {QStringLiteral("error"), failure.text},
    };
    publishState(QStringLiteral("link"), QJsonDocument(link).toJson(QJsonDocument::Compact));
}

void MqttBridge::brokerConnected()
{
    m_connected = true;
    m_shown.clear();
    // Without discovery the configs a run with it left behind are cleared, so that the entities
    // leave Home Assistant.
    for (const HomeAssistantDiscovery::Config &config : HomeAssistantDiscovery::configs(m_settings))
        publish(config.topic, m_settings.discovery ? config.payload : QByteArray(), true);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        publishRelayState(channel);
        publishMode(channel);
        publishTimes(channel);
    }
    publishLink();
    publish(topic(QStringLiteral("status")), QByteArrayLiteral("online"), true);
    const QStringList commands {
        QStringLiteral("channel/+/set"),
        QStringLiteral("channel/+/mode/set"),
        QStringLiteral("channel/+/on_time/set"),
        QStringLiteral("channel/+/off_time/set"),
        QStringLiteral("all_off/set"),
    };
    QStringList filters;
    for (const QString &command : commands)
        filters << topic(command);
    QMetaObject::invokeMethod(
        m_client, [client = m_client, filters] { client->subscribe(filters); },
        Qt::QueuedConnection);
    emit connectionChanged(true, m_settings.broker());
}

void MqttBridge::brokerDisconnected(const QString &why)
{
    m_connected = false;
    emit connectionChanged(false, why);
}

void MqttBridge::received(const QString &topic, const QByteArray &payload, bool retained)
{
    const QString why = carryOut(topic, payload, retained);
    if (why.isEmpty())
        return;
    const QString text = QStringLiteral("%1: %2").arg(topic, why);
    qCWarning(lcBridge).noquote() << text;
    publish(this->topic(QStringLiteral("error")), text.toUtf8(), false);
}

QString MqttBridge::carryOut(const QString &topic, const QByteArray &payload, bool retained)
{
    // A command the broker kept would otherwise be carried out again at every connection.
    if (retained)
        return tr("säilitatud (retain) käsku ei täideta; saada käske ilma retain-liputa ja "
                  "kustuta see tühja säilitatud sõnumiga");
    if (payload.size() > kLongestCommand)
        return tr("%1-baidist käsku ei täideta; pikim käsk on %2 baiti")
            .arg(payload.size())
            .arg(kLongestCommand);
    const QStringList levels = topic.mid(m_settings.topic.size() + 1).split(QLatin1Char('/'));
    if (levels == QStringList {QStringLiteral("all_off"), QStringLiteral("set")}) {
        m_channels.allOff();
        return {};
    }
    bool isNumber = false;
    const int channel = levels.value(1).toInt(&isNumber);
    if (!isNumber || channel < 1 || channel > kChannelCount
        || levels.value(1) != QString::number(channel))
        return tr("kanalit %1 ei ole; kanalid on 1 kuni %2")
            .arg(shown(levels.value(1).toUtf8()))
            .arg(kChannelCount);
    const QString what = levels.size() == 3 ? QString() : levels.value(2);

    if (what.isEmpty()) {
        if (payload == "ON" || payload == "OFF")
            m_channels.switchManually(channel, payload == "ON");
        else if (payload == "TOGGLE")
            m_channels.manualSwitch(channel);
        else
            return tr("%1 ei ole siin käsk; käsud on ON, OFF ja TOGGLE").arg(shown(payload));
        return {};
    }
    if (what == QLatin1String("mode")) {
        if (payload != "auto" && payload != "manual")
            return tr("%1 ei ole siin käsk; käsud on auto ja manual").arg(shown(payload));
        if (m_channels.setAutomatic(channel, payload == "auto")
            == ChannelControl::Outcome::TimesMissing)
            return ChannelControl::refusalText();
        return {};
    }
    static const QRegularExpression clock(
        QStringLiteral("^([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9]$"));
    const QString text = QString::fromLatin1(payload);
    if (!payload.isEmpty() && !clock.match(text).hasMatch())
        return tr("%1 ei ole kellaaeg; aeg on HH:MM:SS, tühi tähendab, et aega pole")
            .arg(shown(payload));
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm:ss"));
    const Module1 &store = m_channels.store();
    if (what == QLatin1String("on_time"))
        m_channels.setTimes(channel, time, store.SwitchOffTime(channel));
    else
        m_channels.setTimes(channel, store.SwitchOnTime(channel), time);
    return {};
}
