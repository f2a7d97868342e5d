// SPDX-License-Identifier: MIT
#include "RecordingPort.h"

bool RecordingPort::fail(LinkError::Reason reason, int code)
{
    m_error = {reason, QStringLiteral("port %1 failed").arg(portNumber()), code};
    return false;
}

bool RecordingPort::open()
{
    if (m_open || unusablePorts.contains(portNumber()) || portNumber() < 1 || portNumber() > 2) {
        wire << QStringLiteral("open%1!").arg(portNumber());
        return fail(LinkError::Reason::OpenFailed, openError);
    }
    m_open = true;
    m_openPort = portNumber();
    wire << QStringLiteral("open%1").arg(portNumber());
    // The kernel raises both lines when a port is opened.
    boards[m_openPort].setDtr(true);
    boards[m_openPort].setRts(true);
    return true;
}

void RecordingPort::close()
{
    if (!m_open)
        return;
    m_open = false;
    wire << QStringLiteral("close");
}

bool RecordingPort::setDtr(bool asserted)
{
    if (!m_open || linesFail)
        return fail(LinkError::Reason::LineFailed, EIO);
    wire << QStringLiteral("dtr%1").arg(int(asserted));
    boards[m_openPort].setDtr(asserted);
    return true;
}

bool RecordingPort::setRts(bool asserted)
{
    if (!m_open || linesFail)
        return fail(LinkError::Reason::LineFailed, EIO);
    wire << QStringLiteral("rts%1").arg(int(asserted));
    boards[m_openPort].setRts(asserted);
    return true;
}

bool RecordingPort::transmit(const QByteArray &data)
{
    if (!m_open || linesFail)
        return fail(LinkError::Reason::TransmitFailed, EIO);
    wire << QStringLiteral("tx:") + QString::fromLatin1(data);
    for (int i = 0; i < data.size(); ++i)
        boards[m_openPort].receive();
    return true;
}
