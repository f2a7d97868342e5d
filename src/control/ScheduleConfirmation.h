#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QObject>
#include <QTime>

class Module1;
class RelayBoard;

// What confirming the schedule and port dialog does to the store and the serial port: the
// sixteen switching times are stored, then the chosen port is tried by opening and closing it.
class ScheduleConfirmation : public QObject
{
    Q_OBJECT

public:
    ScheduleConfirmation(Module1 &store, RelayBoard &board);

    // What the dialog shows when it is built.
    const Module1 &store() const { return m_store; }
    quint16 portNumber() const;
    QString device(quint16 portNumber) const;

    // Port number 0 means no port. The times are stored at once; the chosen port is put in
    // force only once its trial has succeeded, and finished() tells how it went. A confirmation
    // asked for while a trial is under way is ignored.
    void confirm(
        const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort);

signals:
    void finished(const LinkError &error);

private:
    void portTried(quint16 portNumber, const LinkError &error);

    Module1 &m_store;
    RelayBoard &m_board;
    int m_tryingPort = -1; // none
};
