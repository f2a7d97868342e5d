// SPDX-License-Identifier: MIT
#include "RelvoogClient.h"

#include "Monitor.h"
#include "Relvoog1.h"
#include "StatusWords.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {
void printLine(std::FILE *stream, const QString &text)
{
    std::fprintf(stream, "%s\n", qPrintable(text));
}

QJsonValue jsonText(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}
} // namespace

RelvoogClient::RelvoogClient(bool systemBus, bool json)
    : m_bus(systemBus ? QDBusConnection::systemBus() : QDBusConnection::sessionBus())
    , m_unreachable(m_bus.isConnected() ? QString() : m_bus.lastError().message())
    , m_system(systemBus)
    , m_json(json)
    , m_service(Relvoog1::kService, Relvoog1::kPath, m_bus)
{
    m_service.setTimeout(int(kReplyLimit.count()));
}

QString RelvoogClient::onTheBus() const
{
    return m_system ? tr("süsteemi siinil") : tr("seansi siinil");
}

int RelvoogClient::failure(const QDBusError &error) const
{
    QString text = error.message();
    int status = Refused;
    if (!m_bus.isConnected()) {
        text
            = (m_system ? tr("Süsteemi siinile ei pääse: %1.") : tr("Seansi siinile ei pääse: %1."))
                  .arg(m_unreachable);
        status = Unreachable;
    } else if (error.type() == QDBusError::ServiceUnknown) {
        text = tr("relvoogd ei tööta %1.").arg(onTheBus());
        status = Unreachable;
    } else if (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout) {
        text = tr("relvoogd ei vastanud %1 s jooksul.")
                   .arg(std::chrono::duration<double>(kReplyLimit).count());
        status = Unreachable;
    } else if (error.name() == Relvoog1::kInvalidChannel || error.name() == Relvoog1::kInvalidTime
        || error.name() == Relvoog1::kInvalidPort) {
        status = Usage;
    }
    // One line, whatever the service or Qt put into the message.
    printLine(stderr, QStringLiteral("relvoogctl: ") + text.simplified());
    return status;
}

int RelvoogClient::wait(QDBusPendingCall call)
{
    call.waitForFinished();
    return call.isError() ? failure(call.error()) : Done;
}

int RelvoogClient::status()
{
    // All at once, so that the lines show one moment of the service.
    QDBusMessage ask = QDBusMessage::createMethodCall(Relvoog1::kService, Relvoog1::kPath,
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    ask << Relvoog1::kService;
    const QDBusReply<QVariantMap> reply = m_bus.call(ask, QDBus::Block, int(kReplyLimit.count()));
    if (!reply.isValid())
        return failure(reply.error());
    const QVariantMap properties = reply.value();
    const auto flags = [&properties](const QString &name) {
        return qdbus_cast<QList<bool>>(properties.value(name));
    };
    const QList<bool> on = flags(QStringLiteral("RelayStates"));
    const QList<bool> automatic = flags(QStringLiteral("AutomaticModes"));
    const QStringList switchOn = properties.value(QStringLiteral("SwitchOnTimes")).toStringList();
    const QStringList switchOff = properties.value(QStringLiteral("SwitchOffTimes")).toStringList();
    const uint port = properties.value(QStringLiteral("PortNumber")).toUInt();
    const QString device = properties.value(QStringLiteral("Device")).toString();
    const QString failure = properties.value(QStringLiteral("LinkFailure")).toString();

    if (m_json) {
        QJsonArray channels;
        for (int i = 0; i < on.size(); ++i)
            channels.append(QJsonObject {{QStringLiteral("channel"), i + 1},
                {QStringLiteral("on"), on[i]}, {QStringLiteral("automatic"), automatic.value(i)},
                {QStringLiteral("switchOn"), jsonText(switchOn.value(i))},
                {QStringLiteral("switchOff"), jsonText(switchOff.value(i))}});
        const QJsonObject status {{QStringLiteral("channels"), channels},
            {QStringLiteral("port"), int(port)}, {QStringLiteral("device"), device},
            {QStringLiteral("failure"), jsonText(failure)}};
        printLine(stdout, QString::fromUtf8(QJsonDocument(status).toJson(QJsonDocument::Compact)));
        return Done;
    }
    for (int i = 0; i < on.size(); ++i)
        printLine(stdout,
            StatusWords::status(
                i + 1, on[i], automatic.value(i), switchOn.value(i), switchOff.value(i)));
    printLine(stdout,
        StatusWords::port(quint16(port),
            failure.isEmpty() ? device
                              : device + QStringLiteral("  ") + StatusWords::failing(failure)));
    return Done;
}

int RelvoogClient::monitor()
{
    if (!m_bus.isConnected())
        return failure(m_bus.lastError());
    const Monitor monitor(m_service, m_bus, m_json);
    // Asked after subscribing, and answered in order by the bus, so no change falls between.
    const QDBusReply<bool> running = m_bus.interface()->isServiceRegistered(Relvoog1::kService);
    if (!running.isValid())
        return failure(running.error());
    if (!running.value())
        return failure(QDBusError(QDBusError::ServiceUnknown, QString()));
    printLine(stderr,
        QStringLiteral("relvoogctl: ")
            + tr("Jälgin relvoogd'i %1; Ctrl+C lõpetab.").arg(onTheBus()));
    return QCoreApplication::exec();
}
