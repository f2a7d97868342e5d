// SPDX-License-Identifier: MIT
#include "RecordingPort.h"

using namespace Qt::StringLiterals;

bool RecordingPort::fail(LinkError::Reason reason, int code)
{
    m_error = {reason, u"port %1 failed"_s.arg(portNumber()), code};
    return false;
}

bool RecordingPort::open()
{
    if (m_open || unusablePorts.contains(portNumber()) || portNumber() < 1 || portNumber() > 2) {
        wire << u"open%1!"_s.arg(portNumber());
        return fail(LinkError::Reason::OpenFailed, openError);
    }
    m_open = true;
    m_openPort = portNumber();
    wire << u"open%1"_s.arg(portNumber());
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
    wire << u"close"_s;
}

bool RecordingPort::setLine(const char *name, void (BoardModel::*set)(bool), bool asserted)
{
    if (!m_open || linesFail)
        return fail(LinkError::Reason::LineFailed, EIO);
    wire << QLatin1String(name) + QString::number(int(asserted));
    (boards[m_openPort].*set)(asserted);
    return true;
}

bool RecordingPort::transmit(const QByteArray &data)
{
    if (!m_open || linesFail)
        return fail(LinkError::Reason::TransmitFailed, EIO);
    wire << u"tx:"_s + QString::fromLatin1(data);
    for (int i = 0; i < data.size(); ++i)
        boards[m_openPort].receive();
    return true;
}
