// SPDX-License-Identifier: MIT
#pragma once

#include "DeviceClaim.h"
#include "LinkError.h"
#include "PerChannel.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

class Port;

// Puts relay frames on the wire: eight bits shifted in on DTR, clocked by RTS pulses, channel 8
// first, then one character that latches them into the board's outputs. The port is opened for
// each frame and closed after it.
//
// Frames are written by a thread of their own that owns the port, so that an adapter whose
// requests block never holds the caller. Every frame carries all eight states, so only the newest
// matters: a frame that waits gives way to any newer one, and the board never replays what came
// between. Results come back as signals on the board's own thread.
//
// The device of the port in use is claimed for this process (see DeviceClaim) when the port is
// chosen, not for every frame.
class RelayBoard : public QObject
{
    Q_OBJECT

public:
    enum class Frame {
        States, // the channels' states
        AllOff, // the all-off command's zeros: always reported, so that it can move to the other
                // port; a newer frame that takes its place is reported as one
    };
    // Inline writes every frame on the caller's thread as it is asked for, for tests that
    // inspect the port between two commands; a trial's outcome still comes from the event loop.
    enum class Threading { Background, Inline };

    // How long a request may take before the port counts as not answering.
    static constexpr std::chrono::milliseconds kAnswerLimit {1000};

    explicit RelayBoard(std::unique_ptr<Port> port, Threading threading = Threading::Background,
        std::chrono::milliseconds answerLimit = kAnswerLimit);
    ~RelayBoard() override;

    // The port frames go to from now on; the serial component maps it to a device, which is
    // claimed for this process while the device left is let go. A device that another copy of
    // the program drives is refused: the error says by whom, and frames to it fail untouched.
    quint16 portNumber() const { return m_portNumber; }
    LinkError setPortNumber(quint16 number);
    // True once a frame has reached the port in use since it was set.
    bool portReached() const { return m_portReached; }
    QString device(quint16 portNumber) const;

    void write(const RelayStates &states, Frame frame = Frame::States);
    // From now on the writing thread writes the newest frame again, to the port in use, whenever
    // the interval passes without one, so that the board is rewritten with no call from this
    // thread. Only for Background boards, before their first frame.
    void repeatFrames(std::chrono::milliseconds interval);
    // Opens and closes the given port without moving a line or sending anything, so the board
    // keeps its outputs; portTried() tells how it went. A newer trial takes the place of one that
    // still waits. Returns the trial's number.
    quint64 tryPort(quint16 portNumber);

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
    // otherwise. A frame that has not finished within the answer limit is told as a failure.
    void frameWritten(quint16 portNumber, RelayBoard::Frame frame, const LinkError &error);
    void portTried(quint64 trial, quint16 portNumber, const LinkError &error);

private:
    struct Request;
    struct Writer;

    void submit(const Request &request);
    void report(const Request &request, const LinkError &error);
    void checkAnswer();
    LinkError claimRefusal(const DeviceClaim &claim, quint16 portNumber) const;

    std::shared_ptr<Writer> m_writer;
    const std::chrono::milliseconds m_answerLimit;
    QTimer m_answerCheck;
    quint16 m_portNumber = 1;
    bool m_portReached = false;
    DeviceClaim m_claim;
    // Settled once the device was found and claimed or refused; an absent device is claimed
    // when it appears.
    bool m_claimSettled = false;
    LinkError m_claimRefusal;
    DeviceClaim m_trialClaim;
    quint64 m_lastTrial = 0;
    // The outcome of the last frame, so that only a change is told.
    quint16 m_lastPortNumber = 0;
    LinkError m_lastError;
};
