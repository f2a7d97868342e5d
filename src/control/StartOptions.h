#pragma once

#include <QString>
#include <QStringList>

// What the program is started with: the command line, and for what it leaves open a settings
// file, by default relvoog/relvoog.conf in the user's configuration folder. With neither, ports
// 1 and 2 are the platform's first two serial ports, and nothing is restored.
class StartOptions
{
public:
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };

    // arguments[0] is the program. What to print for ShowHelp, ShowVersion and Refuse is in
    // message().
    Action parse(const QStringList &arguments, const QStringList &defaultDevices);

    // Port 1 first.
    QStringList devices() const { return m_devices; }
    // Resume the channels as they were, and remember every change.
    bool restore() const { return m_restore; }
    // Where they are remembered: --state, or the file of port 1's board.
    QString statePath() const { return m_statePath; }
    // --config, or the default one; it need not exist.
    QString settingsPath() const { return m_settingsPath; }
    QString message() const { return m_message; }
    // Why the settings file was not used, if it exists and could not be read.
    QString settingsProblem() const { return m_settingsProblem; }

private:
    QStringList m_devices;
    bool m_restore = false;
    QString m_statePath;
    QString m_settingsPath;
    QString m_message;
    QString m_settingsProblem;
};
