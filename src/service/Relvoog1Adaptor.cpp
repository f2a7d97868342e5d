// SPDX-License-Identifier: MIT
#include "Relvoog1Adaptor.h"

#include "ChannelControl.h"
#include "Module1.h"
#include "Relvoog1.h"

#include <QDBusReply>
#include <QDebug>
#include <QLoggingCategory>

#include <optional>

Q_LOGGING_CATEGORY(lcBus, "relvoog.dbus")

namespace {
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

// 00:00:00 counts as no time, so it reads as none too.
QString timeText(QTime time)
{
    return time.isValid() && time != QTime(0, 0) ? time.toString(kTimeFormat) : QString();
}

// Empty is no time; anything else must be a time of day.
std::optional<QTime> timeOfDay(const QString &text)
{
    const QTime time = text.isEmpty() ? QTime() : QTime::fromString(text, kTimeFormat);
    if (!text.isEmpty() && !time.isValid())
        return std::nullopt;
    return time;
}

QString onOff(bool on)
{
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// A client's text in quotes, with line breaks and other control characters escaped, so that it
// cannot add lines of its own to the journal.
QString quoted(const QString &text)
{
    QString result;
    QDebug(&result).nospace() << text;
    return result;
}
} // namespace

Relvoog1Adaptor::Relvoog1Adaptor(ChannelControl &channels, const QDBusConnection &bus)
    : QDBusAbstractAdaptor(&channels)
    , m_channels(channels)
    , m_bus(bus)
{
    connect(
        &m_channels, &ChannelControl::relayStateChanged, this, &Relvoog1Adaptor::RelayStateChanged);
    connect(&m_channels, &ChannelControl::autoModeChanged, this,
        &Relvoog1Adaptor::AutomaticModeChanged);
    connect(&m_channels, &ChannelControl::timesChanged, this, [this](int channel) {
        emit TimesChanged(channel, timeText(m_channels.store().SwitchOnTime(channel)),
            timeText(m_channels.store().SwitchOffTime(channel)));
    });
    connect(&m_channels, &ChannelControl::portChanged, this,
        [this](quint16 port) { emit PortChanged(port, m_channels.device(port)); });
    connect(&m_channels, &ChannelControl::linkChanged, this,
        [this](const LinkError &error) { emit LinkChanged(m_channels.portNumber(), error.text); });
    connect(&m_channels, &ChannelControl::portLeft, this,
        [this](quint16 port, const LinkError &why) { emit PortLeft(port, why.text); });
    connect(&m_channels, &ChannelControl::portChangeFinished, this,
        &Relvoog1Adaptor::portChangeFinished);
}

QList<bool> Relvoog1Adaptor::relayStates() const
{
    QList<bool> states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states << m_channels.RelayState(channel);
    return states;
}

QList<bool> Relvoog1Adaptor::automaticModes() const
{
    QList<bool> modes;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        modes << m_channels.AutoMode(channel);
    return modes;
}

QStringList Relvoog1Adaptor::switchOnTimes() const
{
    QStringList times;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        times << timeText(m_channels.store().SwitchOnTime(channel));
    return times;
}

QStringList Relvoog1Adaptor::switchOffTimes() const
{
    QStringList times;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        times << timeText(m_channels.store().SwitchOffTime(channel));
    return times;
}

quint16 Relvoog1Adaptor::portNumber() const
{
    return m_channels.portNumber();
}

QString Relvoog1Adaptor::device() const
{
    return m_channels.device(m_channels.portNumber());
}

QString Relvoog1Adaptor::linkFailure() const
{
    return m_channels.linkFailure().text;
}

Relvoog1Adaptor::Refusal Relvoog1Adaptor::checkChannel(int channel)
{
    if (channel >= 1 && channel <= kChannelCount)
        return {};
    return {Relvoog1::kInvalidChannel,
        tr("Kanalit %1 ei ole; kanalid on 1 kuni %2.").arg(channel).arg(kChannelCount)};
}

QString Relvoog1Adaptor::caller(const QDBusMessage &message) const
{
    const QString sender = message.service();
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("GetConnectionCredentials"));
    ask << sender;
    // One round trip to the bus for both, and a short one: the tick waits meanwhile.
    const QDBusReply<QVariantMap> credentials
        = m_bus.call(ask, QDBus::Block, int(kCallerLookupLimit.count()));
    if (!credentials.isValid())
        return sender;
    return tr("%1 (kasutaja %2, protsess %3)")
        .arg(sender, credentials.value().value(QStringLiteral("UnixUserID")).toString(),
            credentials.value().value(QStringLiteral("ProcessID")).toString());
}

void Relvoog1Adaptor::answer(
    const QDBusMessage &message, const QString &command, const Refusal &refusal)
{
    if (refusal.name.isEmpty()) {
        qCInfo(lcBus).noquote() << tr("%1, saatja %2").arg(command, caller(message));
        return;
    }
    qCInfo(lcBus).noquote() << tr("%1, saatja %2: keeldutud, %3")
                                   .arg(command, caller(message),
                                       refusal.name.section(QLatin1Char('.'), -1));
    // Answered here rather than by QtDBus's empty reply.
    message.setDelayedReply(true);
    m_bus.send(message.createErrorReply(refusal.name, refusal.text));
}

void Relvoog1Adaptor::Switch(int channel, bool on, const QDBusMessage &message)
{
    const Refusal refusal = checkChannel(channel);
    if (refusal.name.isEmpty())
        m_channels.switchManually(channel, on);
    answer(message, QStringLiteral("Switch(%1, %2)").arg(channel).arg(onOff(on)), refusal);
}

void Relvoog1Adaptor::Toggle(int channel, const QDBusMessage &message)
{
    const Refusal refusal = checkChannel(channel);
    if (refusal.name.isEmpty())
        m_channels.manualSwitch(channel);
    answer(message, QStringLiteral("Toggle(%1)").arg(channel), refusal);
}

void Relvoog1Adaptor::SetAutomatic(int channel, bool automatic, const QDBusMessage &message)
{
    Refusal refusal = checkChannel(channel);
    if (refusal.name.isEmpty()
        && m_channels.setAutomatic(channel, automatic) == ChannelControl::Outcome::TimesMissing)
        refusal = {Relvoog1::kTimesMissing, ChannelControl::refusalText()};
    answer(message, QStringLiteral("SetAutomatic(%1, %2)").arg(channel).arg(onOff(automatic)),
        refusal);
}

void Relvoog1Adaptor::SetTimes(
    int channel, const QString &switchOn, const QString &switchOff, const QDBusMessage &message)
{
    Refusal refusal = checkChannel(channel);
    const std::optional<QTime> on = timeOfDay(switchOn);
    const std::optional<QTime> off = timeOfDay(switchOff);
    if (refusal.name.isEmpty() && (!on || !off))
        refusal = {Relvoog1::kInvalidTime,
            tr("'%1' ei ole kellaaeg kujul HH:MM:SS.").arg(on ? switchOff : switchOn)};
    if (refusal.name.isEmpty())
        m_channels.setTimes(channel, *on, *off);
    answer(message,
        QStringLiteral("SetTimes(%1, %2, %3)")
            .arg(channel)
            .arg(quoted(switchOn), quoted(switchOff)),
        refusal);
}

void Relvoog1Adaptor::AllOff(const QDBusMessage &message)
{
    m_channels.allOff();
    answer(message, QStringLiteral("AllOff()"));
}

void Relvoog1Adaptor::ChangePort(quint16 port, const QDBusMessage &message)
{
    const QString command = QStringLiteral("ChangePort(%1)").arg(port);
    if (port != 1 && port != 2) {
        answer(message, command,
            {Relvoog1::kInvalidPort, tr("Porti %1 ei ole; pordid on 1 ja 2.").arg(port)});
        return;
    }
    answer(message, command);
    // The trial's outcome comes from the writing thread; the caller waits for it.
    message.setDelayedReply(true);
    if (m_trial != 0)
        supersede();
    m_portRequest = message;
    m_portCommand = tr("%1, saatja %2").arg(command, m_portRequest.service());
    m_trial = m_channels.changePort(port);
}

void Relvoog1Adaptor::supersede()
{
    qCInfo(lcBus).noquote() << tr("%1: asemele tuli uuem pordivahetus").arg(m_portCommand);
    m_bus.send(m_portRequest.createErrorReply(
        Relvoog1::kSuperseded, tr("Selle pordivahetuse asemele tuli uuem.")));
    m_trial = 0;
}

void Relvoog1Adaptor::portChangeFinished(quint64 trial, const LinkError &error)
{
    if (m_trial == 0 || trial < m_trial)
        return;
    // A newer trial, whoever asked for it, made this one void: it will never finish.
    if (trial > m_trial) {
        supersede();
        return;
    }
    if (error.failed()) {
        qCWarning(lcBus).noquote() << tr("%1 ebaõnnestus: %2").arg(m_portCommand, error.text);
        m_bus.send(m_portRequest.createErrorReply(Relvoog1::kPortFailed, error.text));
    } else {
        m_bus.send(m_portRequest.createReply());
    }
    m_trial = 0;
}
