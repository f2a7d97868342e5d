// SPDX-License-Identifier: MIT
#include "HomeAssistantDiscovery.h"

#include "MqttSettings.h"
#include "PerChannel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// What a time's text entity accepts: HH:MM:SS, or nothing for no time.
const QString kTimePattern = QStringLiteral("^(|([01][0-9]|2[0-3]):[0-5][0-9]:[0-5][0-9])$");
} // namespace

QList<HomeAssistantDiscovery::Config> HomeAssistantDiscovery::configs(const MqttSettings &settings)
{
    const QString id = settings.boardId();
    const auto topic = [&settings](const QString &suffix) {
        return QJsonValue(settings.topic + QLatin1Char('/') + suffix);
    };
    const QJsonObject device {
        {QStringLiteral("identifiers"), QJsonArray {QStringLiteral("relvoog_") + id}},
        {QStringLiteral("name"),
            settings.topic == MqttSettings().topic
                ? QStringLiteral("Relvoog")
                : QStringLiteral("Relvoog %1").arg(settings.topic)},
        {QStringLiteral("model"), QStringLiteral("Relvoog")},
        {QStringLiteral("sw_version"), QStringLiteral(RELVOOG_VERSION)},
    };

    QList<Config> configs;
    const auto add = [&](const QString &component, const QString &object, const QString &name,
                         QJsonObject config) {
        config.insert(QStringLiteral("name"), name);
        config.insert(QStringLiteral("unique_id"), id + QLatin1Char('_') + object);
        config.insert(QStringLiteral("device"), device);
        // Home Assistant's own payloads for it are "online" and "offline".
        config.insert(QStringLiteral("availability_topic"), topic(QStringLiteral("status")));
        configs.append({QStringLiteral("%1/%2/%3/%4/config")
                            .arg(settings.discoveryPrefix, component, id, object),
            QJsonDocument(config).toJson(QJsonDocument::Compact)});
    };
    const QString sw = QStringLiteral("switch");
    const QString text = QStringLiteral("text");
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const QString n = QString::number(channel);
        const QString root = QStringLiteral("channel/") + n;
        add(sw, QStringLiteral("channel") + n, tr("Relee %1").arg(n),
            {
                {QStringLiteral("state_topic"), topic(root + QStringLiteral("/state"))},
                {QStringLiteral("command_topic"), topic(root + QStringLiteral("/set"))},
            });
        add(sw, QStringLiteral("channel%1_auto").arg(n), tr("Relee %1 automaatjuhtimine").arg(n),
            {
                {QStringLiteral("state_topic"), topic(root + QStringLiteral("/mode"))},
                {QStringLiteral("command_topic"), topic(root + QStringLiteral("/mode/set"))},
                {QStringLiteral("payload_on"), QStringLiteral("auto")},
                {QStringLiteral("payload_off"), QStringLiteral("manual")},
            });
        const std::pair<QString, QString> times[] = {
            {QStringLiteral("on_time"), tr("Relee %1 sisse").arg(n)},
            {QStringLiteral("off_time"), tr("Relee %1 välja").arg(n)},
        };
        for (const auto &[time, name] : times)
            add(text, QStringLiteral("channel%1_%2").arg(n, time), name,
                {
                    {QStringLiteral("state_topic"), topic(root + QLatin1Char('/') + time)},
                    {QStringLiteral("command_topic"),
                        topic(root + QLatin1Char('/') + time + QStringLiteral("/set"))},
                    {QStringLiteral("pattern"), kTimePattern},
                    {QStringLiteral("min"), 0},
                    {QStringLiteral("max"), 8},
                });
    }
    add(QStringLiteral("button"), QStringLiteral("all_off"), tr("Kõik releed välja"),
        {{QStringLiteral("command_topic"), topic(QStringLiteral("all_off/set"))}});
    add(QStringLiteral("binary_sensor"), QStringLiteral("link"), tr("Ühendus"),
        {
            {QStringLiteral("state_topic"), topic(QStringLiteral("link"))},
            {QStringLiteral("value_template"),
                QStringLiteral("{{ 'OFF' if value_json.ok else 'ON' }}")},
            {QStringLiteral("json_attributes_topic"), topic(QStringLiteral("link"))},
            {QStringLiteral("device_class"), QStringLiteral("problem")},
            {QStringLiteral("entity_category"), QStringLiteral("diagnostic")},
        });
    return configs;
}
