#include "StartOptions.h"

#include "RememberedState.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
// Qt's INI reader takes the keys of a [general] section, whatever its case, for keys outside any
// section, so that is where every key of [general] is read.
QVariant generalValue(const QSettings &settings, const QString &key)
{
    return settings.value(key);
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/relvoog/relvoog.conf");
}
} // namespace

StartOptions::Action StartOptions::parse(
    const QStringList &arguments, const QStringList &defaultDevices)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Switches the eight outputs of a relay board on a serial port."));
    // Not addHelpOption(): its --help-all would be listed without being handled here.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help."));
    parser.addOption(help);
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
    const QCommandLineOption config(QStringLiteral("config"),
        QStringLiteral("The settings file (default %1).").arg(defaultSettingsPath()),
        QStringLiteral("file"));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("The file that --restore reads and writes (default %1, DEVICE being "
                       "port 1's device without /dev/).")
            .arg(RememberedState::defaultPath(QStringLiteral("DEVICE"))),
        QStringLiteral("file"));
    parser.addOptions({port1, port2, restore, config, state});

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
        // Read before the application exists, which is where Qt takes the program's name from.
        m_message = parser.helpText().replace(
            QStringLiteral("<executable_name>"), QFileInfo(arguments.value(0)).fileName());
        return Action::ShowHelp;
    }
    if (parser.isSet(version)) {
        m_message = QStringLiteral("relvoog " RELVOOG_VERSION);
        return Action::ShowVersion;
    }

    m_settingsPath = parser.isSet(config) ? parser.value(config) : defaultSettingsPath();
    // A file named on the command line is meant to be there; the default one need not be.
    if (parser.isSet(config) && !QFileInfo::exists(m_settingsPath)) {
        m_message = QStringLiteral("The settings file %1 does not exist.").arg(m_settingsPath);
        return Action::Refuse;
    }
    m_devices = defaultDevices;
    if (QFileInfo::exists(m_settingsPath)) {
        QSettings settings(m_settingsPath, QSettings::IniFormat);
        if (settings.status() == QSettings::NoError) {
            m_devices[0] = settings.value(QStringLiteral("ports/port1"), m_devices[0]).toString();
            m_devices[1] = settings.value(QStringLiteral("ports/port2"), m_devices[1]).toString();
            m_restore = generalValue(settings, QStringLiteral("restore")).toBool();
        } else {
            m_settingsProblem
                = QStringLiteral("%1 cannot be read; it is left aside").arg(m_settingsPath);
        }
    }
    if (parser.isSet(port1))
        m_devices[0] = parser.value(port1);
    if (parser.isSet(port2))
        m_devices[1] = parser.value(port2);
    m_restore = m_restore || parser.isSet(restore);
    m_statePath
        = parser.isSet(state) ? parser.value(state) : RememberedState::defaultPath(m_devices[0]);
    return Action::Run;
}
