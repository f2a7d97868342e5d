// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// The [mqtt] section of the settings file: the broker, how to log in to it, and the root of the
// program's topics. Without a host, or with a setting that cannot be used, the bridge stays off.
struct MqttSettings
{
    Q_DECLARE_TR_FUNCTIONS(MqttSettings)

public:
    QString host;
    quint16 port = 1883;
    QString username;
    // Read from password_file: never from the command line, never logged.
    QByteArray password;
    bool tls = false;
    // The CA that signs the broker's certificate; empty for the system's.
    QString caFile;
    QString topic = QStringLiteral("relvoog");
    bool discovery = true;
    QString discoveryPrefix = QStringLiteral("homeassistant");
    // Why the section cannot be used; empty when it can, or when it names no host.
    QString problem;

    bool enabled() const { return !host.isEmpty() && problem.isEmpty(); }
    // "host:port", as the log and the window name the broker.
    QString broker() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
    // The board's name towards the broker and Home Assistant, made of the topic root: the same at
    // every start, and different for every root. Only letters, digits, '_' and '-'.
    QString boardId() const;

    static MqttSettings read(const QString &settingsPath);
};
