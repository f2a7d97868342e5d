// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

// What relvoogctl says about a channel or a port, in status and monitor alike: a label, padded so
// that the lines' words stand in columns in either language, then what it is or what changed.
class StatusWords
{
    Q_DECLARE_TR_FUNCTIONS(StatusWords)

public:
    static QString channel(int channel, const QString &text);
    static QString port(quint16 port, const QString &text);
    static QString service(const QString &text);

    static QString onOff(bool on);
    static QString mode(bool automatic);
    // A time that is none shows as --:--:--.
    static QString times(const QString &switchOn, const QString &switchOff);
    static QString failing(const QString &why);
    // A channel's line of the status: its state, mode and times in columns.
    static QString status(
        int channel, bool on, bool automatic, const QString &switchOn, const QString &switchOff);

private:
    static QString line(const QString &label, const QString &text);
};
