// SPDX-License-Identifier: MIT
#pragma once

#include "LanguageChoice.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <optional>

// What the window program or the service is started with: the command line, and for what it
// leaves open a settings file, by default relvoog/relvoog.conf in the user's configuration
// folder. With neither, ports 1 and 2 are the platform's first two serial ports, and the window
// program restores nothing.
class StartOptions
{
    Q_DECLARE_TR_FUNCTIONS(StartOptions)

public:
    enum class Program {
        Window,
        // No one is there to set the channels again after a restart, so it always restores them;
        // it serves on a bus, and cannot run on a settings file it cannot read.
        Service,
    };
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };

    explicit StartOptions(Program program = Program::Window);

    // main()'s arguments, as parse() takes them.
    static QStringList arguments(int argc, char *argv[]);

    // arguments[0] is the program. What to print for ShowHelp, ShowVersion and Refuse is in
    // message(), in the language in force; so it is read again once the language is chosen.
    Action parse(const QStringList &arguments, const QStringList &defaultDevices);

    // Port 1 first.
    QStringList devices() const { return m_devices; }
    // Resume the channels as they were, and remember every change.
    bool restore() const { return m_restore; }
    // --language, or the settings file's; none: the system's languages choose.
    std::optional<LanguageChoice::Language> language() const { return m_language; }
    // Where they are remembered: --state, or the file of port 1's board; for the service, in
    // the state folder that systemd gives it, if it gives one.
    QString statePath() const { return m_statePath; }
    // --config, or the default one; it need not exist.
    QString settingsPath() const { return m_settingsPath; }
    // The service's bus: the system bus rather than the user's session bus.
    bool systemBus() const { return m_systemBus; }
    QString message() const { return m_message; }
    // For an action other than Run: prints message(), the help and the version to stdout and a
    // refusal to stderr, and gives the exit status.
    int printMessage(Action action) const;
    // Why the settings file was not used, if it exists and could not be read.
    QString settingsProblem() const { return m_settingsProblem; }

private:
    Program m_program;
    QStringList m_devices;
    bool m_restore = false;
    std::optional<LanguageChoice::Language> m_language;
    QString m_statePath;
    QString m_settingsPath;
    bool m_systemBus = false;
    QString m_message;
    QString m_settingsProblem;
};
