// SPDX-License-Identifier: MIT
#include "PseudoTerminal.h"
#include "RecordingPort.h"
#include "RelayBoard.h"

#include <QSemaphore>
#include <QtTest>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
RelayStates statesOf(quint8 outputs)
{
    RelayStates states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states[channel] = outputs >> (channel - 1) & 1;
    return states;
}

// A port whose openings wait for the test to let them through, as a slow adapter's requests
// do. It keeps the outputs each frame latched, in order.
class SlowPort : public RecordingPort
{
public:
    bool open() override
    {
        held.release();
        passes.acquire();
        return RecordingPort::open();
    }
    bool transmit(const QByteArray &data) override
    {
        const bool sent = RecordingPort::transmit(data);
        frames << boards[1].outputs();
        latched.release();
        return sent;
    }

    QSemaphore held; // one for each opening that waits
    QSemaphore passes; // one for each opening let through
    QSemaphore latched;
    QList<quint8> frames;
};

// A port on two devices that exist, so that the board claims them, which counts the frames each
// one latches and can hang at its openings.
class RepeatingPort : public RecordingPort
{
public:
    QString device(quint16 portNumber) const override { return ptys[portNumber - 1].slave(); }
    bool open() override
    {
        if (hang)
            released.acquire();
        return RecordingPort::open();
    }
    bool transmit(const QByteArray &data) override
    {
        const bool sent = RecordingPort::transmit(data);
        outputs[portNumber() - 1] = boards[portNumber()].outputs();
        latched[portNumber() - 1].release();
        return sent;
    }
    // The outputs after the next few frames the port latches.
    int next(quint16 portNumber)
    {
        QSemaphore &frames = latched[portNumber - 1];
        frames.acquire(frames.available());
        return frames.tryAcquire(3, 5000) ? outputs[portNumber - 1].load() : -1;
    }

    PseudoTerminal ptys[2];
    std::atomic<int> outputs[2] {-1, -1};
    QSemaphore latched[2];
    std::atomic<bool> hang {false};
    QSemaphore released;
};
} // namespace

// The writing thread: what a slow or hung port gets, and what the program waits for. The frame
// itself is checked wherever a test reads the board's outputs; a writer stuck in a dead adapter
// is left behind where the program quits (tst_relvoog quitDuringAFrame).
class tst_RelayBoard : public QObject
{
    Q_OBJECT

private slots:
    void slowPort_data();
    void slowPort();
    void hungPortIsTold();
    void repeatedFrames();
};

void tst_RelayBoard::slowPort_data()
{
    using Frame = RelayBoard::Frame;
    using Requests = QList<QPair<Frame, int>>;
    QTest::addColumn<Requests>("whileBusy"); // asked for while the first frame is held
    QTest::addColumn<bool>("quit"); // the program quits before the port lets the first one go
    QTest::addColumn<QList<quint8>>("frames"); // what the port carries, in order
    QTest::addColumn<bool>("allOffTold"); // the frame after the first is told as an all-off

    QTest::newRow("the newest frame wins")
        << Requests {{Frame::States, 0x02}, {Frame::States, 0x03}} << false
        << QList<quint8> {0x01, 0x03} << false;
    // Twenty clicks of channel 2 while the adapter hangs: once it answers, the board gets the
    // last state, not twenty of them.
    Requests clicks;
    for (int click = 0; click < 20; ++click)
        clicks << qMakePair(Frame::States, click % 2 ? 0x01 : 0x03);
    QTest::newRow("clicks during a hang") << clicks << false << QList<quint8> {0x01, 0x01} << false;
    QTest::newRow("an all-off takes the place of what waits")
        << Requests {{Frame::States, 0x07}, {Frame::AllOff, 0x00}} << false
        << QList<quint8> {0x01, 0x00} << true;
    QTest::newRow("a frame after an all-off carries it")
        << Requests {{Frame::AllOff, 0x00}, {Frame::States, 0x04}} << false
        << QList<quint8> {0x01, 0x04} << true;
    QTest::newRow("nothing after quit")
        << Requests {{Frame::States, 0x02}} << true << QList<quint8> {0x01} << false;
}

void tst_RelayBoard::slowPort()
{
    using Requests = QList<QPair<RelayBoard::Frame, int>>;
    QFETCH(Requests, whileBusy);
    QFETCH(bool, quit);
    QFETCH(QList<quint8>, frames);
    QFETCH(bool, allOffTold);

    auto owned = std::make_unique<SlowPort>();
    SlowPort &port = *owned;
    RelayBoard board(std::move(owned));
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    board.write(statesOf(0x01));
    port.held.acquire();
    // The caller is never held: every request returns while the first frame is still stuck.
    for (const auto &[frame, outputs] : whileBusy)
        board.write(statesOf(quint8(outputs)), frame);
    if (quit) {
        QVERIFY(!board.stop(std::chrono::milliseconds(1)));
        port.passes.release();
        // Quitting waits for the frame under way, so the board latches whole states.
        QVERIFY(board.stop(std::chrono::seconds(5)));
        QCOMPARE(port.frames, frames);
    } else {
        port.passes.release(int(frames.size()));
    }
    QVERIFY(port.latched.tryAcquire(int(frames.size()), 5000));
    // One frame more would be waiting at its opening by now.
    QVERIFY(!port.held.tryAcquire(int(frames.size()), 50));
    QVERIFY(board.stop(std::chrono::seconds(5)));
    QCOMPARE(port.frames, frames);
    QTRY_COMPARE(written.size() >= 1
            && written.constLast()[1].value<RelayBoard::Frame>() == RelayBoard::Frame::AllOff,
        allOffTold);
}

void tst_RelayBoard::hungPortIsTold()
{
    auto owned = std::make_unique<SlowPort>();
    SlowPort &port = *owned;
    RelayBoard board(
        std::move(owned), RelayBoard::Threading::Background, std::chrono::milliseconds(50));
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    // A frame that gets through first, so that the one after the hang goes as it did.
    board.write(statesOf(0x01));
    port.passes.release();
    QVERIFY(written.wait(5000));
    board.write(statesOf(0x01));
    port.held.acquire(2);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"ei vasta"_s));
    QVERIFY(written.wait(5000));
    const auto error = written.constLast()[2].value<LinkError>();
    QCOMPARE(error.reason, LinkError::Reason::NoAnswer);
    QCOMPARE(error.text, u"Seade /dev/relay1 ei vasta."_s);

    // The first frame that finishes ends it.
    port.passes.release(2);
    QVERIFY(written.wait(5000));
    QVERIFY(!written.constLast()[2].value<LinkError>().failed());
    QVERIFY(board.stop(std::chrono::seconds(5)));
}

void tst_RelayBoard::repeatedFrames()
{
    auto owned = std::make_unique<RepeatingPort>();
    RepeatingPort &port = *owned;
    RelayBoard board(
        std::move(owned), RelayBoard::Threading::Background, std::chrono::milliseconds(50));
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    board.repeatFrames(std::chrono::milliseconds(1));
    QVERIFY(!board.setPortNumber(1).failed());

    // Written once, the frame goes again and again; a newer one takes its place.
    board.write(statesOf(0x05));
    QCOMPARE(port.next(1), 0x05);
    board.write(statesOf(0x0a));
    QCOMPARE(port.next(1), 0x0a);
    // The port changed, the frames go to the new one at once.
    QVERIFY(!board.setPortNumber(2).failed());
    QCOMPARE(port.next(2), 0x0a);

    // A hang is told with nothing more asked of the board, and so is its end; it comes after
    // the answer limit has passed since the last request, so only the repeats are watched.
    QTest::qWait(150);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"ei vasta"_s));
    const auto lastTold = [&written] {
        return written.isEmpty() ? LinkError::Reason::None
                                 : written.constLast()[2].value<LinkError>().reason;
    };
    port.hang = true;
    QTRY_COMPARE_WITH_TIMEOUT(lastTold(), LinkError::Reason::NoAnswer, 5000);
    port.hang = false;
    port.released.release();
    QTRY_COMPARE_WITH_TIMEOUT(lastTold(), LinkError::Reason::None, 5000);
    QVERIFY(board.stop(std::chrono::seconds(5)));
}

QTEST_GUILESS_MAIN(tst_RelayBoard)
#include "tst_relayboard.moc"
