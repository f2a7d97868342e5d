// SPDX-License-Identifier: MIT
#pragma once

#include "PerChannel.h"

#include <QCoreApplication>
#include <QString>
#include <QTime>

#include <optional>

// What a restart with --restore resumes: the sixteen switching times, the eight modes and
// manual states, and the port number, kept in a file that is rewritten whole, atomically, each
// time any of them changes. A file that cannot be used is kept aside, never written over.
class RememberedState
{
    Q_DECLARE_TR_FUNCTIONS(RememberedState)

public:
    struct Snapshot
    {
        PerChannel<QTime> switchOn;
        PerChannel<QTime> switchOff;
        PerChannel<bool> automatic;
        RelayStates relayState;
        quint16 portNumber = 1;

        bool operator==(const Snapshot &other) const;
    };

    explicit RememberedState(const QString &path);

    // Empty when there is no file yet, and with the reason in problem when it is unreadable or
    // damaged; such a file is then renamed to the path with ".damaged" after it, replacing an
    // older one, and the problem says so. A problem is a clause in the language in force, to go
    // after a colon.
    std::optional<Snapshot> load(QString *problem);
    // Writes the snapshot unless it is the one written last; false with the reason on failure.
    bool save(const Snapshot &snapshot, QString *problem);

    // The file of the board on port 1's device, in the user's state folder, named after the
    // device as given: without a leading "/dev/", percent-encoded but for letters, digits and
    // "-_.~", with ".conf" after it.
    static QString defaultPath(const QString &device);

private:
    std::optional<Snapshot> read(QString *problem) const;
    QString setAside(const QString &problem);

    QString m_path;
    // Why nothing may be written: a file that could not be set aside.
    QString m_refusal;
    std::optional<Snapshot> m_written;
};
