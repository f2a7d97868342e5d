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
    // Nothing is kept from a parse before.
    *this = StartOptions();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Lülitab jadapordiga ühendatud releeplaadi kaheksat väljundit."));
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
        tr("Fail, mida --restore loeb ja kirjutab (vaikimisi %1, kus %2 on pordi 1 seade ilma "
           "/dev/ alguseta).")
            .arg(RememberedState::defaultPath(device), device),
        tr("fail"));
    const QCommandLineOption language(QStringLiteral("language"),
        tr("Programmi keel: et (eesti) või en (inglise); vaikimisi süsteemi keel."), tr("keel"));
    parser.addOptions({port1, port2, restore, config, state, language});

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
        m_message = QStringLiteral("relvoog " RELVOOG_VERSION);
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
        if (settings.status() == QSettings::NoError) {
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
        } else {
            m_settingsProblem
                = tr("Faili %1 ei saa lugeda; see jäetakse kõrvale.").arg(m_settingsPath);
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
