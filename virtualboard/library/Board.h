// SPDX-License-Identifier: MIT
#pragma once

#include "virtualboard.h"

#include <cstdint>
#include <deque>
#include <string>

class Trace;

// One emulated serial device with a relay board on its lines: the modem-control lines as the
// kernel keeps them for a real port, the transmitter and its output queue, the board's
// eight-stage chain clocked by rising RTS edges with data from DTR and its output latch loaded
// by every character that completes, and the faults a test has chosen for the device.
class Board
{
public:
    enum class OpenFault { None, Missing, Busy, Denied };

    Board(std::string device, Trace &trace);

    const std::string &device() const { return m_device; }
    // The path the program opened, which a redirection may have replaced.
    void setName(const std::string &name) { m_name = name; }

    // Modem lines: -1 leaves a line as it is. DTR settles before RTS, as a board sees two lines
    // changed by one request.
    void setLines(int dtr, int rts, const char *cause);
    int modemBits() const;
    bool dtr() const { return m_dtr; }
    bool rts() const { return m_rts; }

    // Terminal settings the emulation depends on: hang-up on close and the character time.
    void setControlFlags(unsigned cflag, unsigned baud);
    unsigned adjustControlFlags(unsigned cflag) const;
    bool hangUpOnClose() const { return m_hupcl; }

    // Descriptor life: the kernel raises both lines at every open of a real port, and lowers
    // them at the last close when HUPCL is set.
    void opened(int fd, const std::string &as);
    // Returns how long the close must block first, the kernel waiting for the output to leave.
    int64_t closing(int64_t now, int64_t stallNs);
    void closed(int fd);
    void refused(const std::string &as, const char *error);

    void transmit(const unsigned char *data, size_t size, int64_t now);
    // Latches every character whose stop bit has gone by.
    void advance(int64_t now);
    // TIOCOUTQ: what still sits in the kernel's queue. The transmitter takes a character at
    // once unless the queue is wedged.
    int queued() const { return int(m_held.size()); }
    // How long a drain blocks; stallNs when the queue never empties.
    int64_t drainTime(int64_t now, int64_t stallNs) const;
    // tcflush(TCOFLUSH): the queue is discarded, and so is the character on the line when the
    // device loses what it has not sent.
    void discardOutput(int64_t now, const char *why);

    void stalled(const char *call, int64_t ns);

    OpenFault openFault() const { return m_openFault; }
    bool unplugged() const { return m_unplugged; }
    // A slow adapter: how long an opening takes, and how long the next request (a line request,
    // a termios call or TIOCOUTQ) blocks before it takes effect, a pending hang included.
    int64_t openDelay() const { return m_unplugged ? 0 : m_openDelayNs; }
    int64_t requestWait(const char *call);
    // Commands: none, missing, busy, denied, unplug, unplug-after N, replug, wedge, close-drops,
    // delay REQUEST_US [OPEN_US], hang MS.
    bool setFault(const std::string &fault, long long count, long long second = 0);
    void forget();

    virtualboard_state state() const;

private:
    struct Character
    {
        int64_t doneAt;
        unsigned char byte;
    };

    int64_t characterNs() const;
    void latch(int64_t at);
    void shift();
    void unplug();
    void dropTransmitting(int64_t now, const char *why);

    std::string m_device;
    std::string m_name;
    Trace *m_trace;

    bool m_dtr = false;
    bool m_rts = false;
    unsigned m_chain = 0;
    unsigned m_outputs = 0;

    bool m_hupcl = true; // a serial port's default, unlike a pseudo-terminal's
    unsigned m_baud = 9600;
    unsigned m_controlFlags = 0;
    int m_bitsPerCharacter = 10;

    std::deque<Character> m_transmitting;
    std::string m_held;
    int64_t m_busyUntil = 0;

    OpenFault m_openFault = OpenFault::None;
    bool m_unplugged = false;
    long long m_unplugAfter = -1;
    bool m_wedged = false;
    bool m_closeDrops = false;
    int64_t m_requestDelayNs = 0;
    int64_t m_openDelayNs = 0;
    int64_t m_hangNs = 0;

    int m_openDescriptors = 0;
    long long m_edges = 0;
    long long m_latches = 0;
    long long m_dropped = 0;
    long long m_opens = 0;
    long long m_refusedOpens = 0;
    long long m_stalls = 0;
};
