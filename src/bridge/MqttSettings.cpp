// SPDX-License-Identifier: MIT
#include "MqttSettings.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace {
constexpr quint16 kTlsPort = 8883;

// A root that the broker takes as one topic filter level by level: no wildcards, no empty level,
// and not one of the broker's own '$' topics.
bool isTopicRoot(const QString &root)
{
    if (root.isEmpty() || root.startsWith(QLatin1Char('$')) || root.contains(QLatin1Char('+'))
        || root.contains(QLatin1Char('#')) || root.contains(QChar(0)))
        return false;
    const QStringList levels = root.split(QLatin1Char('/'));
    return std::none_of(levels.begin(), levels.end(), [](const QString &l) { return l.isEmpty(); });
}

// Only "true" and "false" (or 1 and 0): QVariant takes "no" for true.
bool readFlag(const QSettings &settings, const QString &key, bool *flag, QString *problem)
{
    const QString text = settings.value(key).toString().trimmed().toLower();
    if (text.isEmpty())
        return true;
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        *flag = true;
    else if (text == QLatin1String("false") || text == QLatin1String("0"))
        *flag = false;
    else
        *problem = MqttSettings::tr("%1 on \"%2\"; lubatud on true ja false").arg(key, text);
    return problem->isEmpty();
}
} // namespace

QString MqttSettings::boardId() const
{
    QString id = topic;
    for (QChar &c : id)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_')
            && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    // Two roots that differ only in the characters replaced would otherwise share their ids.
    if (id != topic)
        id += QLatin1Char('_')
            + QString::fromLatin1(
                QCryptographicHash::hash(topic.toUtf8(), QCryptographicHash::Sha1).toHex().left(8));
    return id;
}

MqttSettings MqttSettings::read(const QString &settingsPath)
{
    MqttSettings mqtt;
    if (!QFileInfo::exists(settingsPath))
        return mqtt;
    QSettings settings(settingsPath, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("mqtt"));
    mqtt.host = settings.value(QStringLiteral("host")).toString().trimmed();
    if (mqtt.host.isEmpty())
        return mqtt;

    const auto refuse = [&mqtt](const QString &why) {
        mqtt.problem = tr("MQTT jääb välja: %1.").arg(why);
        return mqtt;
    };
    QString problem;
    if (!readFlag(settings, QStringLiteral("tls"), &mqtt.tls, &problem)
        || !readFlag(settings, QStringLiteral("discovery"), &mqtt.discovery, &problem))
        return refuse(problem);
    mqtt.port = mqtt.tls ? kTlsPort : mqtt.port;
    if (settings.contains(QStringLiteral("port"))) {
        bool ok = false;
        const uint port = settings.value(QStringLiteral("port")).toString().toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return refuse(
                tr("port on \"%1\"").arg(settings.value(QStringLiteral("port")).toString()));
        mqtt.port = quint16(port);
    }
    mqtt.username = settings.value(QStringLiteral("username")).toString();

    // Paths in the file are taken from the file's own folder.
    const QDir folder = QFileInfo(settingsPath).absoluteDir();
    const QString passwordFile = settings.value(QStringLiteral("password_file")).toString();
    if (!passwordFile.isEmpty()) {
        QFile file(folder.absoluteFilePath(passwordFile));
        if (!file.open(QIODevice::ReadOnly))
            return refuse(tr("paroolifail %1: %2").arg(file.fileName(), file.errorString()));
        mqtt.password = file.readAll();
        while (mqtt.password.endsWith('\n') || mqtt.password.endsWith('\r'))
            mqtt.password.chop(1);
    }
    const QString caFile = settings.value(QStringLiteral("ca_file")).toString();
    if (mqtt.tls && !caFile.isEmpty()) {
        mqtt.caFile = folder.absoluteFilePath(caFile);
        QFile file(mqtt.caFile);
        if (!file.open(QIODevice::ReadOnly))
            return refuse(tr("CA fail %1: %2").arg(mqtt.caFile, file.errorString()));
    }

    mqtt.topic = settings.value(QStringLiteral("topic"), mqtt.topic).toString();
    mqtt.discoveryPrefix
        = settings.value(QStringLiteral("discovery_prefix"), mqtt.discoveryPrefix).toString();
    for (const QString &root : {mqtt.topic, mqtt.discoveryPrefix})
        if (!isTopicRoot(root))
            return refuse(tr("\"%1\" ei sobi teemade juureks: + ja # pole lubatud, ükski tase ei "
                             "tohi olla tühi ega $-ga algav")
                              .arg(root));
    return mqtt;
}
