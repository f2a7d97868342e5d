#pragma once

#include "Port.h"
#include "SystemConsoles.h"

#include <QSerialPort>
#include <QStringList>

#include <array>
#include <chrono>
#include <functional>
#include <optional>

// The serial component on a real serial device, through Qt SerialPort. Port n is the n-th entry
// of the device list; a number without an entry has no device. A device that is a system console
// is refused without being touched.
class SerialDevicePort : public Port
{
public:
    using Consoles = std::function<std::optional<QStringList>()>;

    explicit SerialDevicePort(
        const QStringList &devices = defaultDevices(),
        Consoles consoles = [] { return systemConsoles(); });

    // The platform's first two serial ports.
    static QStringList defaultDevices();

    bool open() override;
    void close() override;
    bool setDtr(bool asserted) override;
    bool setRts(bool asserted) override;
    bool transmit(const QByteArray &data) override;
    LinkError error() const override { return m_error; }

    // 9600 baud, 8N1: ten bit times a character.
    static constexpr std::chrono::microseconds kCharacterTime {1042};
    // How long a transmitted character may take to leave the line before it is given up.
    static constexpr std::chrono::microseconds kDrainLimit = 4 * kCharacterTime;

private:
    enum class Line { Dtr, Rts };

    bool setLine(Line line, bool asserted);
    bool fail(LinkError::Reason reason, const QString &text);
    bool requireOpen();
    bool waitUntilSent();
    bool isConsole(const QString &device) const;

    QStringList m_devices;
    Consoles m_consoles;
    QString m_checkedDevice;
    bool m_deviceIsConsole = false;
    QSerialPort m_serial;
    LinkError m_error;
    // DTR and RTS as this opening last set them; empty until then.
    std::array<std::optional<bool>, 2> m_lineLevels;
};
