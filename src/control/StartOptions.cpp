#include "StartOptions.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

QString StartOptions::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/relvoog/relvoog.conf");
}

StartOptions::Action StartOptions::parse(
    const QStringList &arguments, const QStringList &defaultDevices)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Switches the eight outputs of a relay board on a serial port."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port1(QStringLiteral("port1"),
        QStringLiteral("The device of port 1 (default %1).").arg(defaultDevices.value(0)),
        QStringLiteral("device"));
    const QCommandLineOption port2(QStringLiteral("port2"),
        QStringLiteral("The device of port 2 (default %1).").arg(defaultDevices.value(1)),
        QStringLiteral("device"));
    const QCommandLineOption restore(QStringLiteral("restore"),
        QStringLiteral("Resume the switching times, modes, states and port of the last run, and "
                       "remember every change."));
    parser.addOption(port1);
    parser.addOption(port2);
    parser.addOption(restore);

    if (!parser.parse(arguments)) {
        m_message = parser.errorText();
        return Action::Refuse;
    }
    if (!parser.positionalArguments().isEmpty()) {
        m_message = QStringLiteral("Unexpected argument '%1'.")
                        .arg(parser.positionalArguments().constFirst());
        return Action::Refuse;
    }
    if (parser.isSet(help)) {
        m_message = parser.helpText();
        return Action::ShowHelp;
    }
    if (parser.isSet(version)) {
        m_message = QStringLiteral("relvoog " RELVOOG_VERSION);
        return Action::ShowVersion;
    }

    m_devices = defaultDevices;
    if (QFileInfo::exists(settingsPath())) {
        QSettings settings(settingsPath(), QSettings::IniFormat);
        if (settings.status() == QSettings::NoError) {
            m_devices[0] = settings.value(QStringLiteral("ports/port1"), m_devices[0]).toString();
            m_devices[1] = settings.value(QStringLiteral("ports/port2"), m_devices[1]).toString();
            m_restore = settings.value(QStringLiteral("general/restore"), false).toBool();
        } else {
            m_settingsProblem
                = QStringLiteral("%1 cannot be read; it is left aside").arg(settingsPath());
        }
    }
    if (parser.isSet(port1))
        m_devices[0] = parser.value(port1);
    if (parser.isSet(port2))
        m_devices[1] = parser.value(port2);
    m_restore = m_restore || parser.isSet(restore);
    return Action::Run;
}
