#pragma once

#include "LinkError.h"
#include "PerChannel.h"

#include <QObject>

#include <chrono>
#include <memory>

class Port;

// Puts relay frames on the wire: eight bits shifted in on DTR, clocked by RTS pulses, channel 8
// first, then one character that latches them into the board's outputs. The port is opened for
// each frame and closed after it.
//
// Frames are written by a thread of their own that owns the port, so that an adapter whose
// requests block never holds the window. Requests are taken in order; a tick's frame that has not
// been started yet gives way to the next request, which carries newer states, while any other
// frame is always written. Results come back as signals on the board's own thread.
class RelayBoard : public QObject
{
    Q_OBJECT

public:
    enum class Frame {
        Tick, // rewrites the states; superseded by any later request while it waits
        Manual, // a user's switch: never dropped
        AllOff, // the all-off command's frame of zeros: never dropped, and always reported
    };
    // Inline writes every frame on the caller's thread as it is asked for, for tests that
    // inspect the port between two commands.
    enum class Threading { Background, Inline };

    explicit RelayBoard(std::unique_ptr<Port> port, Threading threading = Threading::Background);
    ~RelayBoard() override;

    // The port frames go to from now on; the serial component maps it to a device.
    quint16 portNumber() const { return m_portNumber; }
    void setPortNumber(quint16 number);
    // True once a frame has reached the port in use since it was set.
    bool portReached() const { return m_portReached; }
    QString device(quint16 portNumber) const;

    void write(const RelayStates &states, Frame frame);
    // Opens and closes the given port without moving a line or sending anything, so the board
    // keeps its outputs; portTried() tells how it went.
    void tryPort(quint16 portNumber);

    // Drops what has not been started, waits up to the limit for the frame under way, and writes
    // nothing after it. False when the port still had not answered.
    bool stop(std::chrono::milliseconds limit);

    // Only for Inline boards: the port, for tests to inspect.
    Port &port() const;

    // One frame, on the caller's thread; the port is closed afterwards either way.
    static LinkError writeFrame(Port &port, const RelayStates &states);

signals:
    // Sent for every all-off frame, and for any other frame whose outcome differs from the
    // frame's before it: another port, or a port starting or ending to fail, or failing
    // otherwise.
    void frameWritten(quint16 portNumber, RelayBoard::Frame frame, const LinkError &error);
    void portTried(quint16 portNumber, const LinkError &error);

private:
    struct Request;
    struct Writer;

    void submit(Request request);
    void report(const Request &request, const LinkError &error);

    std::shared_ptr<Writer> m_writer;
    quint16 m_portNumber = 1;
    bool m_portReached = false;
    // The outcome of the last frame, so that only a change is told.
    quint16 m_lastPortNumber = 0;
    LinkError m_lastError;
};
