// SPDX-License-Identifier: MIT
#include "SerialDevicePort.h"

SerialDevicePort::SerialDevicePort(const QStringList &devices)
    : m_devices(devices)
{
    // Qt applies these at every opening, so each frame starts from the same line settings.
    m_serial.setBaudRate(QSerialPort::Baud9600);
    m_serial.setDataBits(QSerialPort::Data8);
    m_serial.setParity(QSerialPort::NoParity);
    m_serial.setStopBits(QSerialPort::OneStop);
    m_serial.setFlowControl(QSerialPort::NoFlowControl);
}

QStringList SerialDevicePort::defaultDevices()
{
    return {QStringLiteral("COM1"), QStringLiteral("COM2")};
}

bool SerialDevicePort::fail(LinkError::Reason reason, const QString &sentence)
{
    m_error = {reason, sentence.arg(m_serial.portName(), m_serial.errorString()), 0};
    return false;
}

bool SerialDevicePort::open()
{
    m_error = {};
    m_lineLevels = {};
    if (portNumber() < 1 || portNumber() > m_devices.size()) {
        // Port 0 is the dialog's "---": nothing was chosen, so no device can be missing.
        m_error = {LinkError::Reason::OpenFailed,
            portNumber() == 0 ? tr("Porti ei ole valitud.")
                              : tr("Pordil %1 ei ole seadet.").arg(portNumber()),
            0};
        return false;
    }
    const QString device = m_devices.at(portNumber() - 1);
    m_serial.setPortName(device);
    if (!m_serial.open(QIODevice::WriteOnly)) {
        fail(LinkError::Reason::OpenFailed, tr("Seadet %1 ei saa avada: %2."));
        m_serial.close();
        return false;
    }
    return true;
}

void SerialDevicePort::close()
{
    m_lineLevels = {};
    m_serial.close();
}

bool SerialDevicePort::setDtr(bool asserted)
{
    return setLine(0, asserted);
}

bool SerialDevicePort::setRts(bool asserted)
{
    return setLine(1, asserted);
}

bool SerialDevicePort::setLine(int line, bool asserted)
{
    // A request for the level a line already has would change nothing on the wire, yet on a USB
    // adapter it still costs a transfer.
    std::optional<bool> &level = m_lineLevels[size_t(line)];
    if (level == asserted)
        return true;
    level.reset();
    const bool set
        = line == 0 ? m_serial.setDataTerminalReady(asserted) : m_serial.setRequestToSend(asserted);
    if (!set)
        return fail(LinkError::Reason::LineFailed,
            line == 0 ? tr("Seadme %1 liini DTR ei saa seada: %2.")
                      : tr("Seadme %1 liini RTS ei saa seada: %2."));
    level = asserted;
    return true;
}

bool SerialDevicePort::transmit(const QByteArray &data)
{
    // Qt keeps written bytes in its own buffer until they are flushed, and close() would drop them.
    if (m_serial.write(data) != data.size() || !m_serial.flush())
        return fail(LinkError::Reason::TransmitFailed, tr("Seadmesse %1 ei saa kirjutada: %2."));
    if (m_serial.bytesToWrite() > 0 && !m_serial.waitForBytesWritten(int(kDrainLimit.count()))) {
        m_serial.clear(QSerialPort::Output);
        return fail(LinkError::Reason::TransmitFailed, tr("Seadmesse %1 ei saa kirjutada: %2."));
    }
    return true;
}
