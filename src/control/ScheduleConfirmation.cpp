#include "ScheduleConfirmation.h"

#include "Module1.h"
#include "RelayBoard.h"

ScheduleConfirmation::ScheduleConfirmation(Module1 &store, RelayBoard &board)
    : m_store(store)
    , m_board(board)
{ }

quint16 ScheduleConfirmation::portNumber() const
{
    return m_board.portNumber();
}

LinkError ScheduleConfirmation::confirm(
    const PerChannel<QTime> &switchOn, const PerChannel<QTime> &switchOff, quint16 chosenPort)
{
    // The times do not depend on the port, so a port that fails does not take them back.
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        m_store.setSwitchOnTime(channel, switchOn[channel]);
        m_store.setSwitchOffTime(channel, switchOff[channel]);
    }

    const quint16 previousPort = m_board.portNumber();
    m_board.setPortNumber(chosenPort);
    const LinkError error = m_board.tryPort();
    // Restored at once, so that no frame of the running clock goes to the rejected port.
    if (error.failed())
        m_board.setPortNumber(previousPort);
    return error;
}
