// SPDX-License-Identifier: MIT
#pragma once

#include "Port.h"
#include "SystemConsoles.h"

#include <QCoreApplication>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

// The serial component on a terminal device, straight on the kernel's tty interface. Port n is
// the n-th entry of the device list; a number without an entry has no device. A device that is a
// system console is refused without being touched. Nothing is written to disk: the port is held
// exclusively by the descriptor itself (TIOCEXCL and flock()), so nothing outlives a frame or a
// crash.
class TtyPort : public Port
{
    // One set of sentences for every serial component, whichever the platform uses.
    Q_DECLARE_TR_FUNCTIONS(Port)

public:
    using Consoles = std::function<std::optional<QStringList>()>;

    explicit TtyPort(
        const QStringList &devices = defaultDevices(),
        Consoles consoles = [] { return systemConsoles(); });
    ~TtyPort() override;

    // The platform's first two serial ports.
    static QStringList defaultDevices();

    QString device(quint16 portNumber) const override;
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
    // The sentence names the device as %1 and the system's reason as %2.
    bool fail(LinkError::Reason reason, const QString &sentence, int code);
    static QString openFailure();
    bool configure();
    bool setLine(int line, std::optional<bool> &level, bool asserted);
    bool waitUntilSent();
    bool isConsole(const QString &device) const;

    QStringList m_devices;
    Consoles m_consoles;
    // What is known of the device last opened: whether it is a console, and its path as the
    // system spells it.
    QString m_checkedDevice;
    bool m_deviceIsConsole = false;
    QByteArray m_encodedDevice;
    QString m_device;
    int m_fd = -1;
    LinkError m_error;
    // DTR and RTS as this opening last set them; empty until then.
    std::optional<bool> m_dtr;
    std::optional<bool> m_rts;
};
