// SPDX-License-Identifier: MIT
#pragma once

#include "Relvoog1Proxy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCall>

#include <chrono>

class QDBusError;

// relvoogctl's road to relvoogd: a call, its answer printed, and the exit status it makes.
class RelvoogClient
{
    Q_DECLARE_TR_FUNCTIONS(RelvoogClient)

public:
    enum Status {
        Done = 0,
        Refused = 1, // the service refused the command or could not carry it out
        Usage = 2, // the command, a channel, a time or a port is wrong
        Unreachable = 3, // no bus, no service, or no answer in time
    };

    // Longer than a port trial takes even on a port that does not answer.
    static constexpr std::chrono::milliseconds kReplyLimit {5000};

    RelvoogClient(bool systemBus, bool json);

    Relvoog1Proxy &service() { return m_service; }
    // Waits for the answer to a command; a refusal is printed with its reason.
    int wait(QDBusPendingCall call);
    // The eight channels and the port, one line each, or one JSON object.
    int status();
    // Prints every change until the program is ended.
    int monitor();

private:
    int failure(const QDBusError &error) const;
    // "on the session bus", as a sentence says it.
    QString onTheBus() const;

    QDBusConnection m_bus;
    // Why the bus could not be reached, as it was said when connecting; later calls only say
    // that there is no connection.
    QString m_unreachable;
    bool m_system;
    bool m_json;
    Relvoog1Proxy m_service;
};
