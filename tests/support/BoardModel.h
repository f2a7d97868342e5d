// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// A relay board as built: an eight-stage shift register clocked by rising RTS edges with data
// from DTR, and an output latch loaded by every received character. Stage 1 is bit 0.
class BoardModel
{
public:
    void setDtr(bool level) { m_dtr = level; }
    void setRts(bool level)
    {
        if (level && !m_rts)
            m_chain = quint8(m_chain << 1 | (m_dtr ? 1 : 0));
        m_rts = level;
    }
    void receive()
    {
        m_outputs = m_chain;
        ++m_latches;
    }

    // Bit n-1 is the output of channel n.
    quint8 outputs() const { return m_outputs; }
    int latches() const { return m_latches; }

private:
    bool m_dtr = false;
    bool m_rts = false;
    quint8 m_chain = 0;
    quint8 m_outputs = 0;
    int m_latches = 0;
};
