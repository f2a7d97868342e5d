// SPDX-License-Identifier: MIT
#pragma once

#include "Port.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QStringList>

#include <array>
#include <chrono>
#include <optional>

// The serial component on Windows, through Qt SerialPort. Port n is the n-th entry of the device
// list; a number without an entry has no device.
class SerialDevicePort : public Port
{
    // One set of sentences for every serial component, whichever the platform uses.
    Q_DECLARE_TR_FUNCTIONS(Port)

public:
    explicit SerialDevicePort(const QStringList &devices = defaultDevices());

    // The platform's first two serial ports.
    static QStringList defaultDevices();

    QString device(quint16 portNumber) const override { return m_devices.value(portNumber - 1); }
    bool open() override;
    void close() override;
    bool setDtr(bool asserted) override;
    bool setRts(bool asserted) override;
    bool transmit(const QByteArray &data) override;
    LinkError error() const override { return m_error; }

    // 9600 baud, 8N1: ten bit times a character, and a few of them for the strobe to leave.
    static constexpr std::chrono::milliseconds kDrainLimit {5};

private:
    // The sentence names the device as %1 and Qt's reason as %2.
    bool fail(LinkError::Reason reason, const QString &sentence);
    bool setLine(int line, bool asserted);

    QStringList m_devices;
    QSerialPort m_serial;
    LinkError m_error;
    // DTR and RTS as this opening last set them; empty until then.
    std::array<std::optional<bool>, 2> m_lineLevels;
};
