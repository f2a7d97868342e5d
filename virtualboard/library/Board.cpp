// SPDX-License-Identifier: MIT
#include "Board.h"

#include "Trace.h"

#include <sys/ioctl.h>
#include <termios.h>

#include <climits>
#include <cstdio>

namespace {
std::string hex(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xff);
    return text;
}

// Channel 1 first, as the outputs are numbered on the board.
std::string outputWord(unsigned value)
{
    std::string word;
    for (int channel = 1; channel <= 8; ++channel)
        word += (value >> (channel - 1) & 1) ? '1' : '0';
    return word;
}
} // namespace

Board::Board(std::string device, Trace &trace)
    : m_device(std::move(device))
    , m_name(m_device)
    , m_trace(&trace)
{ }

void Board::setLines(int dtr, int rts, const char *cause)
{
    const bool oldDtr = m_dtr;
    const bool oldRts = m_rts;
    if (dtr >= 0)
        m_dtr = dtr != 0;
    if (rts >= 0)
        m_rts = rts != 0;
    if (m_dtr == oldDtr && m_rts == oldRts)
        return;
    m_trace->event(m_device, "line", "lines",
        "dtr=" + std::to_string(int(m_dtr)) + " rts=" + std::to_string(int(m_rts))
            + " cause=" + cause);
    if (m_rts && !oldRts)
        shift();
}

void Board::shift()
{
    m_chain = ((m_chain << 1) | (m_dtr ? 1u : 0u)) & 0xffu;
    ++m_edges;
    m_trace->event(
        m_device, "board", "shift", "bit=" + std::to_string(int(m_dtr)) + " chain=" + hex(m_chain));
}

int Board::modemBits() const
{
    return (m_dtr ? TIOCM_DTR : 0) | (m_rts ? TIOCM_RTS : 0);
}

void Board::setControlFlags(unsigned cflag, unsigned baud)
{
    const bool wasHungUp = m_baud == 0;
    m_controlFlags = cflag;
    m_hupcl = cflag & HUPCL;
    if (baud != m_baud)
        m_baud = baud;
    int dataBits = 8;
    switch (cflag & CSIZE) {
    case CS5:
        dataBits = 5;
        break;
    case CS6:
        dataBits = 6;
        break;
    case CS7:
        dataBits = 7;
        break;
    default:
        break;
    }
    m_bitsPerCharacter = 1 + dataBits + ((cflag & PARENB) ? 1 : 0) + ((cflag & CSTOPB) ? 2 : 1);
    // Speed 0 means hang up: the kernel drops both lines, and raises them when a speed returns.
    if (m_baud == 0 && !wasHungUp)
        setLines(0, 0, "B0");
    else if (m_baud != 0 && wasHungUp)
        setLines(1, (cflag & CRTSCTS) ? -1 : 1, "B0");
}

unsigned Board::adjustControlFlags(unsigned cflag) const
{
    return m_hupcl ? (cflag | HUPCL) : (cflag & ~unsigned(HUPCL));
}

int64_t Board::characterNs() const
{
    const unsigned baud = m_baud ? m_baud : 9600;
    return int64_t(m_bitsPerCharacter) * 1000000000 / baud;
}

void Board::opened(int fd, const std::string &as)
{
    ++m_opens;
    ++m_openDescriptors;
    m_trace->event(m_device, "call", "open", "fd=" + std::to_string(fd) + " ret=0 as=" + as);
    if (m_baud != 0)
        setLines(1, 1, "open");
}

int64_t Board::closing(int64_t now, int64_t stallNs)
{
    advance(now);
    if (m_unplugged)
        return 0;
    if (!m_held.empty())
        return stallNs;
    if (m_closeDrops) {
        dropTransmitting(now, "close");
        return 0;
    }
    return m_busyUntil > now ? m_busyUntil - now : 0;
}

void Board::closed(int fd)
{
    // What a wedged queue still holds when the closing wait runs out is thrown away.
    if (!m_held.empty()) {
        m_dropped += static_cast<long long>(m_held.size());
        m_trace->event(
            m_device, "board", "drop", "count=" + std::to_string(m_held.size()) + " cause=close");
        m_held.clear();
    }
    advance(Trace::monotonicNs());
    if (m_openDescriptors > 0)
        --m_openDescriptors;
    if (m_openDescriptors == 0 && m_hupcl && !m_unplugged)
        setLines(0, 0, "hupcl");
    m_trace->event(m_device, "call", "close", "fd=" + std::to_string(fd) + " ret=0");
}

void Board::refused(const std::string &as, const char *error)
{
    ++m_refusedOpens;
    m_trace->event(m_device, "call", "open", std::string("ret=-1 errno=") + error + " as=" + as);
}

void Board::transmit(const unsigned char *data, size_t size, int64_t now)
{
    advance(now);
    for (size_t i = 0; i < size; ++i) {
        if (m_wedged) {
            m_held += char(data[i]);
            continue;
        }
        const int64_t start = m_busyUntil > now ? m_busyUntil : now;
        m_busyUntil = start + characterNs();
        m_transmitting.push_back({m_busyUntil, data[i]});
    }
}

void Board::advance(int64_t now)
{
    while (!m_transmitting.empty() && m_transmitting.front().doneAt <= now) {
        const int64_t at = m_transmitting.front().doneAt;
        m_transmitting.pop_front();
        latch(at);
    }
}

void Board::latch(int64_t at)
{
    m_outputs = m_chain;
    ++m_latches;
    m_trace->event(m_device, "board", "latch",
        "value=" + hex(m_outputs) + " outputs=" + outputWord(m_outputs)
            + " n=" + std::to_string(m_latches),
        at);
    m_trace->live(m_name, m_outputs);
    if (m_unplugAfter > 0 && --m_unplugAfter == 0)
        unplug();
}

int64_t Board::drainTime(int64_t now, int64_t stallNs) const
{
    if (!m_held.empty())
        return stallNs;
    return m_busyUntil > now ? m_busyUntil - now : 0;
}

void Board::discardOutput(int64_t now, const char *why)
{
    advance(now);
    if (!m_held.empty()) {
        m_dropped += static_cast<long long>(m_held.size());
        m_trace->event(
            m_device, "board", "drop", "count=" + std::to_string(m_held.size()) + " cause=" + why);
        m_held.clear();
    }
    if (m_closeDrops)
        dropTransmitting(now, why);
}

void Board::dropTransmitting(int64_t now, const char *why)
{
    advance(now);
    if (m_transmitting.empty())
        return;
    m_dropped += static_cast<long long>(m_transmitting.size());
    m_trace->event(m_device, "board", "drop",
        "count=" + std::to_string(m_transmitting.size()) + " cause=" + why);
    m_transmitting.clear();
    m_busyUntil = now;
}

void Board::stalled(const char *call, int64_t ns)
{
    ++m_stalls;
    m_trace->event(m_device, "fault", "stall",
        std::string("call=") + call + " ms=" + std::to_string(ns / 1000000));
}

int64_t Board::requestWait(const char *call)
{
    if (m_unplugged)
        return 0;
    const int64_t hang = m_hangNs;
    if (hang > 0) {
        m_hangNs = 0;
        m_trace->event(m_device, "fault", "hang",
            std::string("call=") + call + " ms=" + std::to_string(hang / 1000000));
    }
    return m_requestDelayNs + hang;
}

void Board::unplug()
{
    m_unplugged = true;
    m_unplugAfter = -1;
    m_dropped += static_cast<long long>(m_held.size() + m_transmitting.size());
    m_held.clear();
    m_transmitting.clear();
    m_trace->event(m_device, "fault", "unplugged");
}

bool Board::setFault(const std::string &fault, long long count, long long second)
{
    if (fault == "none") {
        m_openFault = OpenFault::None;
        m_unplugAfter = -1;
        m_closeDrops = false;
        m_requestDelayNs = 0;
        m_openDelayNs = 0;
        m_hangNs = 0;
        if (m_wedged) {
            m_wedged = false;
            // What the queue held starts moving once the adapter does.
            const std::string held = m_held;
            m_held.clear();
            transmit(reinterpret_cast<const unsigned char *>(held.data()), held.size(),
                Trace::monotonicNs());
        }
        if (m_unplugged)
            setFault("replug", 0);
    } else if (fault == "missing") {
        m_openFault = OpenFault::Missing;
    } else if (fault == "busy") {
        m_openFault = OpenFault::Busy;
    } else if (fault == "denied") {
        m_openFault = OpenFault::Denied;
    } else if (fault == "unplug") {
        unplug();
    } else if (fault == "unplug-after") {
        if (count <= 0)
            unplug();
        else
            m_unplugAfter = count;
    } else if (fault == "replug") {
        // A new adapter: every line released. The board kept its chain and outputs.
        m_unplugged = false;
        m_dtr = false;
        m_rts = false;
        m_trace->event(m_device, "fault", "replugged");
    } else if (fault == "wedge") {
        m_wedged = true;
    } else if (fault == "close-drops") {
        m_closeDrops = true;
    } else if (fault == "delay" && count >= 0 && second >= 0) {
        m_requestDelayNs = int64_t(count) * 1000;
        m_openDelayNs = int64_t(second) * 1000;
    } else if (fault == "hang" && count >= 0) {
        m_hangNs = int64_t(count) * 1000000;
    } else {
        return false;
    }
    if (fault != "unplug" && fault != "replug")
        m_trace->event(m_device, "fault", "set",
            "fault=" + fault + (count ? " n=" + std::to_string(count) : std::string())
                + (second ? " m=" + std::to_string(second) : std::string()));
    return true;
}

void Board::forget()
{
    const int openDescriptors = m_openDescriptors;
    *this = Board(m_device, *m_trace);
    m_openDescriptors = openDescriptors;
}

virtualboard_state Board::state() const
{
    virtualboard_state s {};
    s.known = 1;
    s.dtr = m_dtr;
    s.rts = m_rts;
    s.chain = m_chain;
    s.outputs = m_outputs;
    s.edges = m_edges;
    s.latches = m_latches;
    s.dropped = m_dropped;
    s.opens = m_opens;
    s.refusedOpens = m_refusedOpens;
    s.stalls = m_stalls;
    s.openDescriptors = m_openDescriptors;
    s.unplugged = m_unplugged;
    s.queued = int(m_held.size());
    s.controlFlags = m_controlFlags;
    s.baud = m_baud;
    return s;
}
