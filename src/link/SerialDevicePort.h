#pragma once

#include "Port.h"

#include <QSerialPort>
#include <QStringList>

#include <chrono>

// The serial component on a real serial device, through Qt SerialPort. Port n is the n-th entry
// of the device list; a number without an entry has no device.
class SerialDevicePort : public Port
{
public:
    explicit SerialDevicePort(const QStringList &devices = defaultDevices());

    // The platform's first two serial ports.
    static QStringList defaultDevices();

    bool open() override;
    void close() override;
    bool setDtr(bool asserted) override;
    bool setRts(bool asserted) override;
    bool transmit(const QByteArray &data) override;
    QString errorString() const override { return m_error; }

    // 9600 baud, 8N1: ten bit times a character.
    static constexpr std::chrono::microseconds kCharacterTime {1042};
    // How long a transmitted character may take to leave the line before it is given up.
    static constexpr std::chrono::microseconds kDrainLimit = 4 * kCharacterTime;

private:
    bool fail(const QString &error);
    bool waitUntilSent();

    QStringList m_devices;
    QSerialPort m_serial;
    QString m_error;
};
