// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QTemporaryDir>

// A D-Bus daemon of a test's or the benchmark's own, listening in a folder of its own: programs
// on it reach no one else's, and none can be started by activation.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when dbus-daemon could not be started.
    QString address() const { return m_address; }
    // The environment with this bus as the session bus, and without a preloaded library.
    QProcessEnvironment environment(
        QProcessEnvironment base = QProcessEnvironment::systemEnvironment()) const;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
};
