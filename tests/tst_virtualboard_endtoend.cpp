#include "RealPortRig.h"
#include "VirtualBoardTestMain.h"

#include <QtTest>

// The program's commands and tick on the real serial component, with the virtual board on two
// pseudo-terminals: after every frame the board's latched outputs must be the states shown.
class tst_VirtualBoardEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void manualSwitches();
    void writingThread();
    void allOffWithFallback_data();
    void allOffWithFallback();
    void rtsReleasedBeforeFirstClock();
    void strobeNotDroppedAtClose();
};

// After a frame: one more latch on the port, holding what the window shows.
#define VERIFY_FRAME(rig, portNumber, latchesBefore)                                               \
    do {                                                                                           \
        QCOMPARE((rig).state(portNumber).latches, (latchesBefore) + 1);                            \
        QCOMPARE((rig).latchedWord(portNumber), (rig).shownWord());                                \
    } while (false)

void tst_VirtualBoardEndToEnd::initTestCase()
{
    if (!VirtualBoard::isLoaded())
        QSKIP(VirtualBoard::notLoadedReason());
    QVERIFY(PseudoTerminal().isValid());
}

void tst_VirtualBoardEndToEnd::manualSwitches()
{
    RealPortRig rig;
    rig.channels.load();
    VERIFY_FRAME(rig, 1, 0);
    QCOMPARE(rig.view.portLabel, QStringLiteral("1"));

    // Each end of the frame alone, then every channel on, then two off again.
    for (int channel : {1, 8, 2, 3, 4, 5, 6, 7, 4, 5}) {
        qint64 latches = rig.state(1).latches;
        rig.channels.manualSwitch(channel);
        VERIFY_FRAME(rig, 1, latches);

        // The next tick rewrites the same frame.
        latches = rig.state(1).latches;
        rig.clock.tick();
        VERIFY_FRAME(rig, 1, latches);
    }
    QCOMPARE(rig.latchedWord(1), QStringLiteral("11100111"));
}

void tst_VirtualBoardEndToEnd::writingThread()
{
    RealPortRig rig(RelayBoard::Threading::Background);
    rig.channels.load();
    // Switches and ticks come faster than the port takes frames: every switch still reaches the
    // board, in order, and the board ends with what the window shows.
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        rig.channels.manualSwitch(channel);
        rig.clock.tick();
    }
    QTRY_COMPARE(rig.latchedWord(1), QStringLiteral("11111111"));
    QVERIFY(rig.state(1).latches >= 1 + kChannelCount);
}

void tst_VirtualBoardEndToEnd::allOffWithFallback_data()
{
    QTest::addColumn<QList<quint16>>("missing");
    QTest::addColumn<quint16>("expectedPort");

    QTest::newRow("port 1 works") << QList<quint16> {} << quint16(1);
    QTest::newRow("port 1 missing") << QList<quint16> {1} << quint16(2);
    QTest::newRow("neither port usable") << QList<quint16> {1, 2} << quint16(2);
}

void tst_VirtualBoardEndToEnd::allOffWithFallback()
{
    QFETCH(QList<quint16>, missing);
    QFETCH(quint16, expectedPort);

    RealPortRig rig;
    RelayStates allOn;
    allOn.fill(true);
    // Both boards show every output on first, so that a frame of zeros can be seen.
    for (quint16 portNumber : {1, 2}) {
        rig.board.setPortNumber(portNumber);
        rig.board.write(allOn, RelayBoard::Frame::Manual);
    }
    rig.board.setPortNumber(1);
    for (quint16 portNumber : missing)
        QVERIFY(
            VirtualBoard::control(QStringLiteral("fault %1 missing").arg(rig.device(portNumber))));

    rig.channels.load();
    QCOMPARE(rig.board.portNumber(), expectedPort);
    QCOMPARE(rig.view.portLabel, QString::number(expectedPort));
    QCOMPARE(rig.shownWord(), QStringLiteral("00000000"));
    const bool framed = !missing.contains(expectedPort);
    for (quint16 portNumber : {1, 2}) {
        const bool zeroed = framed && portNumber == expectedPort;
        QCOMPARE(rig.state(portNumber).latches, zeroed ? 2 : 1);
        QCOMPARE(rig.latchedWord(portNumber),
            zeroed ? QStringLiteral("00000000") : QStringLiteral("11111111"));
    }

    if (framed) {
        // The port the fallback chose carries the following frames.
        const qint64 latches = rig.state(expectedPort).latches;
        rig.channels.manualSwitch(6);
        VERIFY_FRAME(rig, expectedPort, latches);
    } else {
        // A second all-off in the same situation moves back.
        rig.channels.allOff();
        QCOMPARE(rig.board.portNumber(), quint16(1));
        QCOMPARE(rig.view.portLabel, QStringLiteral("1"));
    }
    for (quint16 portNumber : missing)
        QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 none").arg(rig.device(portNumber))));
}

void tst_VirtualBoardEndToEnd::rtsReleasedBeforeFirstClock()
{
    // Channel 8 off: with RTS still high from the opening, the opening's own edge would put a 1
    // into stage 8 and the frame would land one stage short.
    RelayStates states;
    RelayStates inverse;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        states[channel] = channel % 2;
        inverse[channel] = !states[channel];
    }
    RealPortRig rig;
    // Twice, after a frame of the opposite states each time, so that nothing left in the chain
    // can make a short frame look right.
    for (int round = 0; round < 2; ++round) {
        rig.board.write(inverse, RelayBoard::Frame::Manual);
        rig.board.write(states, RelayBoard::Frame::Manual);
        QCOMPARE(rig.latchedWord(1), QStringLiteral("10101010"));
    }
    QCOMPARE(rig.state(1).latches, 4);
}

void tst_VirtualBoardEndToEnd::strobeNotDroppedAtClose()
{
    RealPortRig rig;
    // An adapter that drops unsent output at close, where the kernel would wait for it.
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 close-drops").arg(rig.device(1))));
    rig.channels.load();
    VERIFY_FRAME(rig, 1, 0);
    // Each frame differs from the one before, so a lost strobe leaves the old outputs.
    for (int channel : {1, 2, 8, 1, 5, 2, 8, 5}) {
        const qint64 latches = rig.state(1).latches;
        rig.channels.manualSwitch(channel);
        VERIFY_FRAME(rig, 1, latches);
    }
    QCOMPARE(rig.state(1).dropped, 0);
    QCOMPARE(rig.ptys[0].received(), QByteArray(9, 'a'));
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 none").arg(rig.device(1))));
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoardEndToEnd)
#include "tst_virtualboard_endtoend.moc"
