#include "StartOptions.h"

#include <QCoreApplication>

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
    // Nothing is kept from a parse before.
    *this = StartOptions();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Lülitab jadapordiga ühendatud releeplaadi kaheksat väljundit."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption port1(QStringLiteral("port1"),
        tr("Pordi 1 seade (vaikimisi %1).").arg(defaultDevices.value(0)), tr("seade"));
    const QCommandLineOption port2(QStringLiteral("port2"),
        tr("Pordi 2 seade (vaikimisi %1).").arg(defaultDevices.value(1)), tr("seade"));
    const QCommandLineOption restore(QStringLiteral("restore"),
        tr("Jätkab eelmise töö lülitusaegade, režiimide, olekute ja pordiga ning jätab meelde iga "
           "muutuse."));
    const QCommandLineOption language(QStringLiteral("language"),
        tr("Programmi keel: et (eesti) või en (inglise); vaikimisi süsteemi keel."), tr("keel"));
    parser.addOption(port1);
    parser.addOption(port2);
    parser.addOption(restore);
    parser.addOption(language);

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
            const QString name = settings.value(QStringLiteral("general/language")).toString();
            if (!m_language && !name.isEmpty()) {
                m_language = LanguageChoice::fromName(name);
                if (!m_language)
                    m_settingsProblem
                        = tr("Failis %1 on keel '%2', mis ei ole et ega en; keel on süsteemi oma.")
                              .arg(settingsPath(), name);
            }
        } else {
            m_settingsProblem
                = tr("Faili %1 ei saa lugeda; see jäetakse kõrvale.").arg(settingsPath());
        }
    }
    if (parser.isSet(port1))
        m_devices[0] = parser.value(port1);
    if (parser.isSet(port2))
        m_devices[1] = parser.value(port2);
    m_restore = m_restore || parser.isSet(restore);
    return Action::Run;
}
