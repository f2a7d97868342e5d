// SPDX-License-Identifier: MIT
#pragma once

#include "BoardModel.h"
#include "Port.h"

#include <QSet>

#include <QStringList>
#include <cerrno>

#include <map>

// A port double that records every operation as a word of the wire sequence and feeds a board
// model per port number. Like a real port it raises DTR and RTS on opening and refuses line
// operations while closed.
class RecordingPort : public Port
{
public:
    QString device(quint16 portNumber) const override
    {
        return QStringLiteral("/dev/relay%1").arg(portNumber);
    }
    bool open() override;
    void close() override;
    bool setDtr(bool asserted) override { return setLine("dtr", &BoardModel::setDtr, asserted); }
    bool setRts(bool asserted) override { return setLine("rts", &BoardModel::setRts, asserted); }
    bool transmit(const QByteArray &data) override;
    LinkError error() const override { return m_error; }

    // Ports that cannot be opened (absent or held by another program).
    QSet<quint16> unusablePorts;
    // Line operations and transmission fail although the port opened.
    bool linesFail = false;
    // The system's error number an unusable port's opening gives.
    int openError = ENOENT;

    // "open1 rts0 dtr1 rts1 rts0 ... tx:a close", one word per operation that took effect;
    // a failed opening is "open1!".
    QStringList wire;
    std::map<quint16, BoardModel> boards;

private:
    bool fail(LinkError::Reason reason, int code);
    bool setLine(const char *name, void (BoardModel::*set)(bool), bool asserted);

    bool m_open = false;
    quint16 m_openPort = 0;
    LinkError m_error;
};
