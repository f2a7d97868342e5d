// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal whose slave stands in for a serial port. The master is kept open and read
// empty on demand, so that frames never fill the line.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    // The device path a port is given, "/dev/pts/N".
    QString slave() const { return m_slave; }

    // Everything the slave has transmitted since the last call.
    QByteArray received();

private:
    int m_master = -1;
    QString m_slave;
};
