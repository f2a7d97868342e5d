#include "Monitor.h"

#include "Relvoog1.h"
#include "Relvoog1Proxy.h"

#include <QJsonDocument>

#include <cstdio>

namespace {
QString channelLine(int channel, const QString &text)
{
    return QStringLiteral("channel %1  %2").arg(channel).arg(text);
}

QString portLine(quint16 port, const QString &text)
{
    return QStringLiteral("port %1     %2").arg(port).arg(text);
}

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
        print(channelLine(channel, on ? QStringLiteral("on") : QStringLiteral("off")),
            {{QStringLiteral("event"), QStringLiteral("RelayStateChanged")},
                {QStringLiteral("channel"), channel}, {QStringLiteral("on"), on}});
    });
    connect(
        &service, &Relvoog1Proxy::AutomaticModeChanged, this, [this](int channel, bool automatic) {
            print(channelLine(
                      channel, automatic ? QStringLiteral("automatic") : QStringLiteral("manual")),
                {{QStringLiteral("event"), QStringLiteral("AutomaticModeChanged")},
                    {QStringLiteral("channel"), channel},
                    {QStringLiteral("automatic"), automatic}});
        });
    connect(&service, &Relvoog1Proxy::TimesChanged, this,
        [this](int channel, const QString &switchOn, const QString &switchOff) {
            const auto shown = [](const QString &time) {
                return time.isEmpty() ? QStringLiteral("--:--:--") : time;
            };
            print(channelLine(channel,
                      QStringLiteral("on %1  off %2").arg(shown(switchOn), shown(switchOff))),
                {{QStringLiteral("event"), QStringLiteral("TimesChanged")},
                    {QStringLiteral("channel"), channel},
                    {QStringLiteral("switchOn"), jsonText(switchOn)},
                    {QStringLiteral("switchOff"), jsonText(switchOff)}});
        });
    connect(
        &service, &Relvoog1Proxy::PortChanged, this, [this](quint16 port, const QString &device) {
            print(portLine(port, device),
                {{QStringLiteral("event"), QStringLiteral("PortChanged")},
                    {QStringLiteral("port"), port}, {QStringLiteral("device"), device}});
        });
    connect(
        &service, &Relvoog1Proxy::LinkChanged, this, [this](quint16 port, const QString &failure) {
            print(portLine(port,
                      failure.isEmpty() ? QStringLiteral("reaches the board again")
                                        : QStringLiteral("failing: ") + failure),
                {{QStringLiteral("event"), QStringLiteral("LinkChanged")},
                    {QStringLiteral("port"), port},
                    {QStringLiteral("failure"), jsonText(failure)}});
        });
    connect(&service, &Relvoog1Proxy::PortLeft, this, [this](quint16 port, const QString &why) {
        print(portLine(port, QStringLiteral("left: ") + why),
            {{QStringLiteral("event"), QStringLiteral("PortLeft")}, {QStringLiteral("port"), port},
                {QStringLiteral("why"), why}});
    });
    connect(&m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
        [this](const QString &, const QString &, const QString &owner) {
            const bool running = !owner.isEmpty();
            print(QStringLiteral("relvoogd   ")
                    + (running ? QStringLiteral("started") : QStringLiteral("stopped")),
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
