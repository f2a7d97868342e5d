#include "StartOptions.h"

#include "RememberedState.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

StartOptions::StartOptions(Program program)
    : m_program(program)
    , m_restore(program == Program::Service)
{ }

QString StartOptions::settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/relvoog/relvoog.conf");
}

QString StartOptions::defaultStatePath() const
{
    // A system service's unit names its state folder with StateDirectory=, and systemd passes it
    // on, the first one first.
    const QString stateDirectory
        = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (m_program == Program::Service && !stateDirectory.isEmpty())
        return stateDirectory + QStringLiteral("/state.conf");
    return RememberedState::defaultPath();
}

StartOptions::Action StartOptions::parse(
    const QStringList &arguments, const QStringList &defaultDevices)
{
    const bool service = m_program == Program::Service;
    QCommandLineParser parser;
    parser.setApplicationDescription(service
            ? QStringLiteral("Drives the relay board without a window, for relvoogctl and other "
                             "clients on D-Bus.")
            : QStringLiteral("Switches the eight outputs of a relay board on a serial port."));
    // Not addHelpOption(): its --help-all would be listed without being handled here.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help."));
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
        QStringLiteral("The settings file (default %1).").arg(settingsPath()),
        QStringLiteral("file"));
    const QCommandLineOption state(QStringLiteral("state"),
        QStringLiteral("The file the channels are remembered in (default %1).")
            .arg(defaultStatePath()),
        QStringLiteral("file"));
    const QCommandLineOption system(
        QStringLiteral("system"), QStringLiteral("Serve on the system bus, not the session bus."));
    parser.addOption(help);
    parser.addOptions({port1, port2, config, state});
    parser.addOption(service ? system : restore);

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
        m_message = (service ? QStringLiteral("relvoogd ") : QStringLiteral("relvoog "))
            + QStringLiteral(RELVOOG_VERSION);
        return Action::ShowVersion;
    }

    const QString settings = parser.isSet(config) ? parser.value(config) : settingsPath();
    // A file named on the command line is meant to be there; the default one need not be.
    if (parser.isSet(config) && !QFileInfo::exists(settings)) {
        m_message = QStringLiteral("The settings file %1 does not exist.").arg(settings);
        return Action::Refuse;
    }
    m_devices = defaultDevices;
    if (QFileInfo::exists(settings)) {
        QSettings file(settings, QSettings::IniFormat);
        if (file.status() == QSettings::NoError) {
            m_devices[0] = file.value(QStringLiteral("ports/port1"), m_devices[0]).toString();
            m_devices[1] = file.value(QStringLiteral("ports/port2"), m_devices[1]).toString();
            m_restore = m_restore || file.value(QStringLiteral("general/restore")).toBool();
        } else if (service) {
            // Its ports may be in it; the default ones could be another machine's devices.
            m_message = QStringLiteral("The settings file %1 cannot be read.").arg(settings);
            return Action::Refuse;
        } else {
            m_settingsProblem = QStringLiteral("%1 cannot be read; it is left aside").arg(settings);
        }
    }
    if (parser.isSet(port1))
        m_devices[0] = parser.value(port1);
    if (parser.isSet(port2))
        m_devices[1] = parser.value(port2);
    m_restore = m_restore || (!service && parser.isSet(restore));
    m_statePath = parser.isSet(state) ? parser.value(state) : defaultStatePath();
    m_systemBus = service && parser.isSet(system);
    return Action::Run;
}
