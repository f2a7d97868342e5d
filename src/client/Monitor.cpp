// SPDX-License-Identifier: MIT
#include "Monitor.h"

#include "Relvoog1.h"
#include "Relvoog1Proxy.h"
#include "StatusWords.h"

#include <QJsonDocument>

#include <cstdio>

namespace {
QJsonValue jsonText(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}
} // namespace

Monitor::Monitor(Relvoog1Proxy &service, const QDBusConnection &bus, bool json)
    : m_json(json)
    , m_watcher(Relvoog1::kService, bus, QDBusServiceWatcher::WatchForOwnerChange)
{
    connect(&service, &Relvoog1Proxy::RelayStateChanged, this, [this](int channel, bool on) {
        print(StatusWords::channel(channel, StatusWords::onOff(on)),
            {{QStringLiteral("event"), QStringLiteral("RelayStateChanged")},
                {QStringLiteral("channel"), channel}, {QStringLiteral("on"), on}});
    });
    connect(
        &service, &Relvoog1Proxy::AutomaticModeChanged, this, [this](int channel, bool automatic) {
            print(StatusWords::channel(channel, StatusWords::mode(automatic)),
                {{QStringLiteral("event"), QStringLiteral("AutomaticModeChanged")},
                    {QStringLiteral("channel"), channel},
                    {QStringLiteral("automatic"), automatic}});
        });
    connect(&service, &Relvoog1Proxy::TimesChanged, this,
        [this](int channel, const QString &switchOn, const QString &switchOff) {
            print(StatusWords::channel(channel, StatusWords::times(switchOn, switchOff)),
                {{QStringLiteral("event"), QStringLiteral("TimesChanged")},
                    {QStringLiteral("channel"), channel},
                    {QStringLiteral("switchOn"), jsonText(switchOn)},
                    {QStringLiteral("switchOff"), jsonText(switchOff)}});
        });
    connect(
        &service, &Relvoog1Proxy::PortChanged, this, [this](quint16 port, const QString &device) {
            print(StatusWords::port(port, device),
                {{QStringLiteral("event"), QStringLiteral("PortChanged")},
                    {QStringLiteral("port"), port}, {QStringLiteral("device"), device}});
        });
    connect(
        &service, &Relvoog1Proxy::LinkChanged, this, [this](quint16 port, const QString &failure) {
            print(
                StatusWords::port(port,
                    failure.isEmpty() ? tr("jõuab taas plaadini") : StatusWords::failing(failure)),
                {{QStringLiteral("event"), QStringLiteral("LinkChanged")},
                    {QStringLiteral("port"), port},
                    {QStringLiteral("failure"), jsonText(failure)}});
        });
    connect(&service, &Relvoog1Proxy::PortLeft, this, [this](quint16 port, const QString &why) {
        print(StatusWords::port(port, tr("jäeti maha: %1").arg(why)),
            {{QStringLiteral("event"), QStringLiteral("PortLeft")}, {QStringLiteral("port"), port},
                {QStringLiteral("why"), why}});
    });
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &owner) {
            const bool running = !owner.isEmpty();
            print(StatusWords::service(running ? tr("käivitus") : tr("lõpetas")),
                {{QStringLiteral("event"),
                    running ? QStringLiteral("ServiceStarted")
                            : QStringLiteral("ServiceStopped")}});
        });
}

void Monitor::print(const QString &line, const QJsonObject &event) const
{
    const QString text
        = m_json ? QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact)) : line;
    std::fprintf(stdout, "%s\n", qPrintable(text));
    // A script reading a pipe would otherwise see the changes only when the buffer fills.
    std::fflush(stdout);
}
