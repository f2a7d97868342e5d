#include "ScheduleConfirmation.h"

#include "Module1.h"
#include "Port.h"

ScheduleConfirmation::ScheduleConfirmation(Module1 &store, Port &port)
    : m_store(store)
    , m_port(port)
{ }

bool ScheduleConfirmation::confirm(
    const std::array<QTime, 8> &switchOn, const std::array<QTime, 8> &switchOff, quint16 chosenPort)
{
    // The times do not depend on the port, so a port that fails does not take them back.
    for (int channel = 1; channel <= 8; ++channel) {
        m_store.setSwitchOnTime(channel, switchOn[channel - 1]);
        m_store.setSwitchOffTime(channel, switchOff[channel - 1]);
    }

    const quint16 previousPort = m_port.portNumber();
    m_port.setPortNumber(chosenPort);
    // Opening alone shows whether the port exists and is free; no line moves and nothing is
    // sent, so the board keeps its outputs.
    if (m_port.open()) {
        m_port.close();
        return true;
    }
    // Restored at once, so that no frame of the running clock goes to the rejected port.
    m_port.setPortNumber(previousPort);
    return false;
}
