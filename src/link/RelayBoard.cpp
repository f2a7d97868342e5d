#include "RelayBoard.h"

#include "Port.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcRelayBoard, "relvoog.link")

namespace {
const QByteArray kStrobe = QByteArrayLiteral("a");
}

RelayBoard::RelayBoard(Port &port)
    : m_port(port)
{ }

bool RelayBoard::shiftBit(bool bit)
{
    // DTR settles while RTS is low, so the board samples it on the rising edge. The pulse is
    // completed even after a failed step, so that RTS never stays asserted.
    const bool data = m_port.setDtr(bit);
    const bool rise = m_port.setRts(true);
    const bool fall = m_port.setRts(false);
    return data && rise && fall;
}

bool RelayBoard::WriteRelays(const RelayStates &relayState)
{
    // The kernel raises RTS when the port opens; releasing it first gives the first clock pulse
    // its rising edge. Without it the board would take only seven bits and latch them one stage
    // short.
    bool ok = m_port.open() && m_port.setRts(false);
    for (int channel = 8; ok && channel >= 1; --channel)
        ok = shiftBit(relayState[channel - 1] == 1);
    ok = ok && m_port.transmit(kStrobe);
    const QString error = ok ? QString() : m_port.errorString();
    m_port.close();

    // Every tick writes a frame, so a lasting fault is logged once, and once again when it ends.
    if (!ok && !m_failing)
        qCWarning(lcRelayBoard) << "relay frame failed on port" << m_port.portNumber() << ":"
                                << error;
    else if (ok && m_failing)
        qCInfo(lcRelayBoard) << "relay frames reach port" << m_port.portNumber() << "again";
    m_failing = !ok;
    return ok;
}

void RelayBoard::WriteAllOff(const std::function<void(int channel)> &afterBit)
{
    if (!m_port.open()) {
        m_port.close();
        m_port.setPortNumber(m_port.portNumber() == 1 ? 2 : 1);
        qCInfo(lcRelayBoard) << "moving to port" << m_port.portNumber();
        m_port.open();
    }
    m_port.setRts(false);
    for (int channel = 1; channel <= 8; ++channel) {
        shiftBit(false);
        if (afterBit)
            afterBit(channel);
    }
    m_port.transmit(kStrobe);
    m_port.close();
}
