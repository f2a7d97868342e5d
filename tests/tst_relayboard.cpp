#include "RecordingPort.h"
#include "RelayBoard.h"

#include <QSemaphore>
#include <QtTest>

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
} // namespace

// Relay frames as the board sees them: the wire sequence, the byte it latches, why a frame
// failed, and the order in which a slow port gets them.
class tst_RelayBoard : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
    void failedFrame_data();
    void failedFrame();
    void slowPort_data();
    void slowPort();
};

void tst_RelayBoard::write_data()
{
    QTest::addColumn<int>("outputs"); // bit n - 1 is channel n
    QTest::addColumn<QString>("dtrInTimeOrder");

    QTest::newRow("all off") << 0x00 << "00000000";
    QTest::newRow("only channel 1 on") << 0x01 << "00000001";
    QTest::newRow("only channel 8 on") << 0x80 << "10000000";
    QTest::newRow("channels 1, 3, 4 and 7") << 0x4d << "01001101";
}

void tst_RelayBoard::write()
{
    QFETCH(int, outputs);
    QFETCH(QString, dtrInTimeOrder);

    RelayBoard board(std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline);
    auto &port = static_cast<RecordingPort &>(board.port());
    board.write(statesOf(quint8(outputs)), RelayBoard::Frame::Tick);

    QStringList wire {QStringLiteral("open1"), QStringLiteral("rts0")};
    for (const QChar bit : dtrInTimeOrder)
        wire << QStringLiteral("dtr") + bit << QStringLiteral("rts1") << QStringLiteral("rts0");
    wire << QStringLiteral("tx:a") << QStringLiteral("close");
    QCOMPARE(port.wire, wire);
    // The double raises RTS on opening as the kernel does, so this also proves that an RTS left
    // asserted at open does not cost the first bit.
    QCOMPARE(port.boards[1].outputs(), outputs);
    QCOMPARE(port.boards[1].latches(), 1);
}

void tst_RelayBoard::failedFrame_data()
{
    QTest::addColumn<bool>("portUnusable");
    QTest::addColumn<LinkError::Reason>("reason");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("port cannot be opened")
        << true << LinkError::Reason::OpenFailed << QStringList {QStringLiteral("open1!")};
    // A port whose lines refuse requests (a pseudo-terminal, an unplugged adapter) is closed again
    // without sending the strobe, so no half frame is latched.
    QTest::newRow("line requests fail")
        << false << LinkError::Reason::LineFailed
        << QStringList {QStringLiteral("open1"), QStringLiteral("close")};
}

void tst_RelayBoard::failedFrame()
{
    QFETCH(bool, portUnusable);
    QFETCH(LinkError::Reason, reason);
    QFETCH(QStringList, wire);

    RelayBoard board(std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline);
    auto &port = static_cast<RecordingPort &>(board.port());
    if (portUnusable)
        port.unusablePorts << 1;
    else
        port.linesFail = true;
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    const RelayStates allOn = statesOf(0xff);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    board.write(allOn, RelayBoard::Frame::Tick);
    QCOMPARE(written.size(), 1);
    const auto error = written[0][2].value<LinkError>();
    QCOMPARE(error.reason, reason);
    QCOMPARE(error.text, QStringLiteral("port 1 failed"));
    QCOMPARE(port.wire, wire);
    QCOMPARE(port.boards[1].latches(), 0);
}

void tst_RelayBoard::slowPort_data()
{
    using Frame = RelayBoard::Frame;
    using Requests = QList<QPair<Frame, int>>;
    QTest::addColumn<Requests>("whileBusy"); // asked for while the first frame is held
    QTest::addColumn<bool>("quit"); // the program quits before the port lets the first one go
    QTest::addColumn<QList<quint8>>("frames"); // what the port carries, in order

    QTest::newRow("latest tick wins") << Requests {{Frame::Tick, 0x02}, {Frame::Tick, 0x03}}
                                      << false << QList<quint8> {0x01, 0x03};
    // Two switches of channel 2 while the port is stuck: the board sees it on, then off.
    QTest::newRow("manual frames are never lost") << Requests {{Frame::Manual, 0x02},
        {Frame::Tick, 0x02}, {Frame::Manual, 0x00},
        {Frame::Tick, 0x00}} << false << QList<quint8> {0x01, 0x02, 0x00, 0x00};
    QTest::newRow("a tick gives way to a later manual frame") << Requests {
        {Frame::Tick, 0x01}, {Frame::Manual, 0x05}} << false << QList<quint8> {0x01, 0x05};
    QTest::newRow("nothing after quit")
        << Requests {{Frame::Manual, 0x02}, {Frame::Tick, 0x02}} << true << QList<quint8> {0x01};
}

void tst_RelayBoard::slowPort()
{
    using Requests = QList<QPair<RelayBoard::Frame, int>>;
    QFETCH(Requests, whileBusy);
    QFETCH(bool, quit);
    QFETCH(QList<quint8>, frames);

    auto owned = std::make_unique<SlowPort>();
    SlowPort &port = *owned;
    RelayBoard board(std::move(owned));
    board.write(statesOf(0x01), RelayBoard::Frame::Manual);
    port.held.acquire();
    // The caller is never held: every request returns while the first frame is still stuck.
    for (const auto &[frame, outputs] : whileBusy)
        board.write(statesOf(quint8(outputs)), frame);
    if (quit) {
        QVERIFY(!board.stop(std::chrono::milliseconds(1)));
        port.passes.release();
        QVERIFY(board.stop(std::chrono::seconds(5)));
    } else {
        port.passes.release(int(frames.size()));
    }
    QVERIFY(port.latched.tryAcquire(int(frames.size()), 5000));
    // One frame more would be waiting at its opening by now.
    QVERIFY(!port.held.tryAcquire(int(frames.size()), 50));
    QVERIFY(board.stop(std::chrono::seconds(5)));
    QCOMPARE(port.frames, frames);
}

QTEST_GUILESS_MAIN(tst_RelayBoard)
#include "tst_relayboard.moc"
