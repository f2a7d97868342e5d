// SPDX-License-Identifier: MIT
#include "StartOptions.h"

#include "RememberedState.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

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

// QSettings reads a file once in a process and keeps what it read, so a file it could not read or
// parse is told as such only the first time; yet the options are parsed twice, before and after
// the language is chosen. What the first reading found stays found, and the file's values are
// never taken from a later one.
bool readable(const QSettings &settings)
{
    static QSet<QString> unreadable;
    if (settings.status() != QSettings::NoError)
        unreadable.insert(settings.fileName());
    return !unreadable.contains(settings.fileName());
}

// The state folder that a system service's unit names with StateDirectory=, which systemd passes
// on, the first one first; none outside such a unit.
QString stateDirectory()
{
    return qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
}
} // namespace

StartOptions::StartOptions(Program program)
    : m_program(program)
{ }

QStringList StartOptions::arguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

int StartOptions::printMessage(Action action) const
{
    const bool refused = action == Action::Refuse;
    std::fprintf(refused ? stderr : stdout, "%s\n", qPrintable(m_message));
    return refused ? 2 : 0;
}

StartOptions::Action StartOptions::parse(
    const QStringList &arguments, const QStringList &defaultDevices)
{
    // Nothing is kept from a parse before.
    *this = StartOptions(m_program);
    const bool service = m_program == Program::Service;
    QCommandLineParser parser;
    parser.setApplicationDescription(service
            ? tr("Juhib releeplaati ilma aknata; relvoogctl ja teised kliendid juhivad seda D-Busi "
                 "kaudu.")
            : tr("Lülitab jadapordiga ühendatud releeplaadi kaheksat väljundit."));
    // Not addHelpOption(): its --help-all would be listed without being handled here.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, tr("Näitab seda abiteksti."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port1(QStringLiteral("port1"),
        tr("Pordi 1 seade (vaikimisi %1).").arg(defaultDevices.value(0)), tr("seade"));
    const QCommandLineOption port2(QStringLiteral("port2"),
        tr("Pordi 2 seade (vaikimisi %1).").arg(defaultDevices.value(1)), tr("seade"));
    const QCommandLineOption restore(QStringLiteral("restore"),
        tr("Jätkab eelmise töö lülitusaegade, režiimide, olekute ja pordiga ning jätab meelde iga "
           "muutuse."));
    const QCommandLineOption config(QStringLiteral("config"),
        tr("Seadete fail (vaikimisi %1).").arg(defaultSettingsPath()), tr("fail"));
    //: Stands for a device's name in a file name.
    const QString device = tr("SEADE");
    const QCommandLineOption state(QStringLiteral("state"),
        service ? tr("Fail, kus kanalite olekut meeles peetakse (vaikimisi %1, kus %2 on pordi 1 "
                     "seade ilma /dev/ alguseta; systemd'i teenusena %3).")
                      .arg(RememberedState::defaultPath(device), device,
                          QStringLiteral("$STATE_DIRECTORY/state.conf"))
                : tr("Fail, mida --restore loeb ja kirjutab (vaikimisi %1, kus %2 on pordi 1 seade "
                     "ilma /dev/ alguseta).")
                      .arg(RememberedState::defaultPath(device), device),
        tr("fail"));
    const QCommandLineOption system(
        QStringLiteral("system"), tr("Teenindab süsteemi siinil, mitte seansi siinil."));
    const QCommandLineOption language(QStringLiteral("language"),
        tr("Programmi keel: et (eesti) või en (inglise); vaikimisi süsteemi keel."), tr("keel"));
    parser.addOptions({port1, port2, service ? system : restore, config, state, language});

    const bool parsed = parser.parse(arguments);
    // A mistyped command line is answered in the language it names, too.
    if (parser.isSet(language))
        m_language = LanguageChoice::fromName(parser.value(language));
    if (!parsed) {
        m_message = parser.errorText();
        return Action::Refuse;
    }
    if (!parser.positionalArguments().isEmpty()) {
        m_message = tr("Ootamatu argument '%1'.").arg(parser.positionalArguments().constFirst());
        return Action::Refuse;
    }
    if (parser.isSet(language) && !m_language) {
        m_message = tr("Keel peab olema et või en, mitte '%1'.").arg(parser.value(language));
        return Action::Refuse;
    }
    if (parser.isSet(help)) {
        // Qt names the program as it was started once the application exists, and
        // "<executable_name>" before.
        const QString started = QCoreApplication::instance()
            ? QCoreApplication::arguments().value(0)
            : QStringLiteral("<executable_name>");
        m_message = parser.helpText();
        const int at = m_message.indexOf(started);
        if (!started.isEmpty() && at >= 0)
            m_message.replace(at, started.size(), QFileInfo(arguments.value(0)).fileName());
        return Action::ShowHelp;
    }
    if (parser.isSet(version)) {
        m_message = (service ? QStringLiteral("relvoogd ") : QStringLiteral("relvoog "))
            + QStringLiteral(RELVOOG_VERSION);
        return Action::ShowVersion;
    }

    m_settingsPath = parser.isSet(config) ? parser.value(config) : defaultSettingsPath();
    // A file named on the command line is meant to be there; the default one need not be.
    if (parser.isSet(config) && !QFileInfo::exists(m_settingsPath)) {
        m_message = tr("Seadete faili %1 ei ole olemas.").arg(m_settingsPath);
        return Action::Refuse;
    }
    m_devices = defaultDevices;
    if (QFileInfo::exists(m_settingsPath)) {
        QSettings settings(m_settingsPath, QSettings::IniFormat);
        if (readable(settings)) {
            m_devices[0] = settings.value(QStringLiteral("ports/port1"), m_devices[0]).toString();
            m_devices[1] = settings.value(QStringLiteral("ports/port2"), m_devices[1]).toString();
            m_restore = generalValue(settings, QStringLiteral("restore")).toBool();
            const QString name = generalValue(settings, QStringLiteral("language")).toString();
            if (!m_language && !name.isEmpty()) {
                m_language = LanguageChoice::fromName(name);
                if (!m_language)
                    m_settingsProblem
                        = tr("Failis %1 on keel '%2', mis ei ole et ega en; keel on süsteemi oma.")
                              .arg(m_settingsPath, name);
            }
        } else if (service) {
            // Its ports may be in it, and the default ones could be another board's.
            m_message = tr("Seadete faili %1 ei saa lugeda.").arg(m_settingsPath);
            return Action::Refuse;
        } else {
            m_settingsProblem
                = tr("Faili %1 ei saa lugeda; see jäetakse kõrvale.").arg(m_settingsPath);
        }
    }
    if (parser.isSet(port1))
        m_devices[0] = parser.value(port1);
    if (parser.isSet(port2))
        m_devices[1] = parser.value(port2);
    m_restore = service || m_restore || parser.isSet(restore);
    if (parser.isSet(state))
        m_statePath = parser.value(state);
    else if (service && !stateDirectory().isEmpty())
        m_statePath = stateDirectory() + QStringLiteral("/state.conf");
    else
        m_statePath = RememberedState::defaultPath(m_devices[0]);
    m_systemBus = service && parser.isSet(system);
    return Action::Run;
}
