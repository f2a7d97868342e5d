// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QObject>
#include <QTime>

class ChannelControl;
class Module1;

// What confirming the schedule and port dialog does: the sixteen switching times are stored,
// then the chosen port is tried by opening and closing it, and put in force if that worked.
class ScheduleConfirmation : public QObject
{
    Q_OBJECT

public:
    explicit ScheduleConfirmation(ChannelControl &channels);

    // What the dialog shows when it is built.
    const Module1 &store() const;
    quint16 portNumber() const;
    QString device(quint16 portNumber) const;

    // Port number 0 means no port. The times are stored at once; finished() tells how the port
    // went. A confirmation asked for while a trial is under way is ignored.
    void confirm(
        const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort);
    // The dialog was left: a trial still under way never takes effect.
    void cancel();

signals:
    void finished(const LinkError &error);

private:
    void portChangeFinished(quint64 trial, const LinkError &error);

    ChannelControl &m_channels;
    quint64 m_trial = 0; // none
};
