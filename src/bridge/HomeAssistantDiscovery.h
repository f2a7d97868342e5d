// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

struct MqttSettings;

// Home Assistant's MQTT discovery: one device per board, with a switch for each output and one for
// each channel's automatic mode, a text entity for each switching time, a button for the all-off
// and a problem sensor for the link, all named in the window's language.
class HomeAssistantDiscovery
{
    Q_DECLARE_TR_FUNCTIONS(HomeAssistantDiscovery)

public:
    struct Config
    {
        QString topic;
        QByteArray payload;
    };

    // Every entity's config topic under the discovery prefix, with the config for the board whose
    // topics have the settings' root.
    static QList<Config> configs(const MqttSettings &settings);
};
