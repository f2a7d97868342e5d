#pragma once

#include "PerChannel.h"

#include <QString>
#include <QTime>

#include <optional>

// What a restart with --restore resumes: the sixteen switching times, the eight modes and
// manual states, and the port number, kept in a file that is rewritten whole, atomically, each
// time any of them changes.
class RememberedState
{
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
    // damaged.
    std::optional<Snapshot> load(QString *problem) const;
    // Writes the snapshot unless it is the one written last; false with the reason on failure.
    bool save(const Snapshot &snapshot, QString *problem);

    static QString defaultPath();

private:
    QString m_path;
    std::optional<Snapshot> m_written;
};
