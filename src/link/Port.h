// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"

#include <QByteArray>

// The serial component as the relay frame uses it: an output-only port whose number picks the
// device, with the DTR and RTS lines and a transmitter. Every operation reports its failure;
// error() then says why.
class Port
{
public:
    virtual ~Port() = default;

    quint16 portNumber() const { return m_portNumber; }
    // Takes any number; one without a device fails at the next opening.
    void setPortNumber(quint16 number) { m_portNumber = number; }

    // The device a port number stands for; empty for none. The list is fixed when the port is
    // made, so this may be asked from any thread.
    virtual QString device(quint16 portNumber) const = 0;
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool setDtr(bool asserted) = 0;
    virtual bool setRts(bool asserted) = 0;
    // Returns only once the data has left the line, so that the port can be closed right after.
    virtual bool transmit(const QByteArray &data) = 0;
    virtual LinkError error() const = 0;

private:
    quint16 m_portNumber = 1;
};
