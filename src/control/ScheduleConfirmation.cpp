#include "ScheduleConfirmation.h"

#include "Module1.h"
#include "RelayBoard.h"

ScheduleConfirmation::ScheduleConfirmation(Module1 &store, RelayBoard &board)
    : m_store(store)
    , m_board(board)
{
    connect(&m_board, &RelayBoard::portTried, this, &ScheduleConfirmation::portTried);
}

quint16 ScheduleConfirmation::portNumber() const
{
    return m_board.portNumber();
}

QString ScheduleConfirmation::device(quint16 portNumber) const
{
    return m_board.device(portNumber);
}

void ScheduleConfirmation::confirm(
    const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort)
{
    if (m_tryingPort >= 0)
        return;
    // The times do not depend on the port, so a port that fails does not take them back.
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        m_store.setSwitchOnTime(channel, switchOn[channel]);
        m_store.setSwitchOffTime(channel, switchOff[channel]);
    }
    // Until the trial has succeeded the frames keep going to the port in use, so no frame goes
    // to a port that is then rejected.
    m_tryingPort = chosenPort;
    m_board.tryPort(chosenPort);
}

void ScheduleConfirmation::portTried(quint16 portNumber, const LinkError &error)
{
    if (portNumber != m_tryingPort)
        return;
    m_tryingPort = -1;
    if (!error.failed())
        m_board.setPortNumber(portNumber);
    emit finished(error);
}
