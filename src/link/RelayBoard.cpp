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

quint16 RelayBoard::portNumber() const
{
    return m_port.portNumber();
}

void RelayBoard::setPortNumber(quint16 number)
{
    m_port.setPortNumber(number);
}

bool RelayBoard::shiftBit(bool bit)
{
    // DTR settles while RTS is low, so the board samples it on the rising edge. The pulse is
    // completed even after a failed step, so that RTS never stays asserted.
    const bool data = m_port.setDtr(bit);
    const bool rise = m_port.setRts(true);
    const bool fall = m_port.setRts(false);
    return data && rise && fall;
}

LinkError RelayBoard::write(const RelayStates &states)
{
    // The kernel raises RTS when the port opens; releasing it first gives the first clock pulse
    // its rising edge. Without it the board would take only seven bits and latch them one stage
    // short.
    bool ok = m_port.open() && m_port.setRts(false);
    for (int channel = kChannelCount; ok && channel >= 1; --channel)
        ok = shiftBit(states[channel]);
    ok = ok && m_port.transmit(kStrobe);
    const LinkError error = ok ? LinkError() : m_port.error();
    m_port.close();

    // Every tick writes a frame, so a lasting fault would otherwise flood the log.
    if (!ok && !m_failing)
        qCWarning(lcRelayBoard).noquote()
            << "relay frame failed on port" << m_port.portNumber() << "-" << error.text;
    else if (ok && m_failing)
        qCInfo(lcRelayBoard) << "relay frames reach port" << m_port.portNumber();
    m_failing = !ok;
    return error;
}

LinkError RelayBoard::tryPort()
{
    if (!m_port.open())
        return m_port.error();
    m_port.close();
    return {};
}
