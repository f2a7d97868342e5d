#include "PortHolder.h"
#include "RealPortRig.h"
#include "TraceLog.h"
#include "VirtualBoardTestMain.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// The program's commands and tick on the real serial component, with the virtual board on two
// pseudo-terminals: after every frame the board's latched outputs must be the states shown.
class tst_VirtualBoardEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void manualSwitches_data();
    void manualSwitches();
    void allOffWithFallback_data();
    void allOffWithFallback();
    void scheduledSwitch_data();
    void scheduledSwitch();
    void rtsReleasedBeforeFirstClock_data();
    void rtsReleasedBeforeFirstClock();
    void strobeNotDroppedAtClose_data();
    void strobeNotDroppedAtClose();

private:
    QTemporaryDir m_dir;
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
    QVERIFY(m_dir.isValid());
    QVERIFY(PseudoTerminal().isValid());
}

void tst_VirtualBoardEndToEnd::cleanup()
{
    VirtualBoard::control(QStringLiteral("trace"));
}

void tst_VirtualBoardEndToEnd::manualSwitches_data()
{
    QTest::addColumn<QList<int>>("clicks");

    QTest::newRow("channel 1 on") << QList<int> {1};
    QTest::newRow("channel 8 on") << QList<int> {8};
    QTest::newRow("channel 3 on and off again") << QList<int> {3, 3};
    QTest::newRow("odd channels on") << QList<int> {1, 3, 5, 7};
    QTest::newRow("all on, then 4 and 5 off") << QList<int> {1, 2, 3, 4, 5, 6, 7, 8, 4, 5};
}

void tst_VirtualBoardEndToEnd::manualSwitches()
{
    QFETCH(QList<int>, clicks);

    const QString tracePath = m_dir.filePath(QStringLiteral("manual.trace"));
    QFile::remove(tracePath);
    QVERIFY(VirtualBoard::control(QStringLiteral("trace ") + tracePath));
    RealPortRig rig;
    rig.channels.load();
    VERIFY_FRAME(rig, 1, 0);
    QCOMPARE(rig.view.portLabel, QStringLiteral("1"));
    QList<unsigned> frames {rig.state(1).outputs};
    QCOMPARE(rig.ptys[0].received(), QByteArray("a"));

    for (int channel : clicks) {
        qint64 latches = rig.state(1).latches;
        rig.channels.manualSwitch(channel);
        VERIFY_FRAME(rig, 1, latches);
        frames << rig.state(1).outputs;

        // The next tick rewrites the same frame.
        latches = rig.state(1).latches;
        rig.clock.tick();
        VERIFY_FRAME(rig, 1, latches);
        frames << rig.state(1).outputs;
        QCOMPARE(rig.ptys[0].received(), QByteArray("aa"));
    }
    QCOMPARE(rig.state(2).opens, 0);

    QVERIFY(VirtualBoard::control(QStringLiteral("trace")));
    QCOMPARE(TraceLog(tracePath).latches(rig.device(1)), frames);
}

void tst_VirtualBoardEndToEnd::allOffWithFallback_data()
{
    QTest::addColumn<quint16>("startPort");
    QTest::addColumn<QString>("fault1");
    QTest::addColumn<QString>("fault2");
    QTest::addColumn<quint16>("expectedPort");
    QTest::addColumn<bool>("framed");

    const QString none;
    QTest::newRow("port 1 works") << quint16(1) << none << none << quint16(1) << true;
    QTest::newRow("port 1 missing")
        << quint16(1) << QStringLiteral("missing") << none << quint16(2) << true;
    QTest::newRow("port 1 held by another process")
        << quint16(1) << QStringLiteral("held") << none << quint16(2) << true;
    QTest::newRow("port 1 held exclusively (EBUSY)")
        << quint16(1) << QStringLiteral("busy") << none << quint16(2) << true;
    QTest::newRow("port 1 unplugged")
        << quint16(1) << QStringLiteral("unplug") << none << quint16(2) << true;
    QTest::newRow("port 2 in use and missing")
        << quint16(2) << none << QStringLiteral("missing") << quint16(1) << true;
    QTest::newRow("neither port usable")
        << quint16(1) << QStringLiteral("missing") << QStringLiteral("held") << quint16(2) << false;
}

void tst_VirtualBoardEndToEnd::allOffWithFallback()
{
    QFETCH(quint16, startPort);
    QFETCH(QString, fault1);
    QFETCH(QString, fault2);
    QFETCH(quint16, expectedPort);
    QFETCH(bool, framed);

    RealPortRig rig;
    // Both boards show every output on first, so that a frame of zeros can be seen.
    for (quint16 portNumber : {1, 2}) {
        rig.port.setPortNumber(portNumber);
        QVERIFY(rig.board.WriteRelays({1, 1, 1, 1, 1, 1, 1, 1}));
    }
    rig.port.setPortNumber(startPort);

    std::array<std::unique_ptr<PortHolder>, 2> holders;
    const QStringList faults {fault1, fault2};
    for (quint16 portNumber : {1, 2}) {
        const QString &fault = faults[portNumber - 1];
        if (fault == QLatin1String("held")) {
            holders[portNumber - 1] = std::make_unique<PortHolder>();
            QVERIFY2(holders[portNumber - 1]->start(rig.device(portNumber)),
                qPrintable(holders[portNumber - 1]->error()));
        } else if (!fault.isEmpty()) {
            QVERIFY(VirtualBoard::control(
                QStringLiteral("fault %1 %2").arg(rig.device(portNumber), fault)));
        }
    }

    rig.channels.load();
    QCOMPARE(rig.port.portNumber(), expectedPort);
    QCOMPARE(rig.view.portLabel, QString::number(expectedPort));
    QCOMPARE(rig.shownWord(), QStringLiteral("00000000"));
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
        QCOMPARE(rig.port.portNumber(), startPort);
        QCOMPARE(rig.view.portLabel, QString::number(startPort));
    }

    for (auto &holder : holders)
        if (holder)
            holder->stop();
    for (quint16 portNumber : {1, 2}) {
        QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 none").arg(rig.device(portNumber))));
        QVERIFY(
            !QFile::exists(QStringLiteral("/var/lock/") + rig.ptys[portNumber - 1].lockFileName()));
    }
}

void tst_VirtualBoardEndToEnd::scheduledSwitch_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QTime>("switchOn");
    QTest::addColumn<QTime>("switchOff");

    QTest::newRow("channel 5, 08:00:00 to 08:00:03") << 5 << QTime(8, 0) << QTime(8, 0, 3);
    QTest::newRow("channel 1 across midnight") << 1 << QTime(23, 59, 58) << QTime(0, 0, 2);
    QTest::newRow("channel 8 for one second") << 8 << QTime(12, 30) << QTime(12, 30, 1);
}

void tst_VirtualBoardEndToEnd::scheduledSwitch()
{
    QFETCH(int, channel);
    QFETCH(QTime, switchOn);
    QFETCH(QTime, switchOff);

    RealPortRig rig;
    rig.channels.load();
    rig.store.setSwitchOnTime(channel, switchOn);
    rig.store.setSwitchOffTime(channel, switchOff);
    rig.channels.toggleAutoMode(channel);
    QCOMPARE(rig.channels.AutoMode(channel), 1);

    // From two seconds before the switch-on time to two seconds after the switch-off, three
    // ticks in every second.
    const QDateTime start(QDate(2024, 3, 1), switchOn.addSecs(-2));
    QDateTime end(QDate(2024, 3, 1), switchOff.addSecs(2));
    if (end < start)
        end = end.addDays(1);
    bool expectedOn = false;
    for (QDateTime second = start; second <= end; second = second.addSecs(1)) {
        if (second.time() == switchOn)
            expectedOn = true;
        else if (second.time() == switchOff)
            expectedOn = false;
        for (int tick = 0; tick < 3; ++tick) {
            rig.now = second.addMSecs(tick * 10);
            const qint64 latches = rig.state(1).latches;
            rig.clock.tick();
            VERIFY_FRAME(rig, 1, latches);
            QCOMPARE(bool(rig.state(1).outputs & (1u << (channel - 1))), expectedOn);
            QCOMPARE(rig.state(1).outputs & ~(1u << (channel - 1)), 0u);
        }
        rig.receiveAll();
    }
}

void tst_VirtualBoardEndToEnd::rtsReleasedBeforeFirstClock_data()
{
    QTest::addColumn<RelayStates>("states");

    // Every row has channel 8 off: with RTS still high from the opening, the opening's own
    // edge would put a 1 into stage 8 and the frame would land one stage short.
    QTest::newRow("all off") << RelayStates {0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("only channel 1 on") << RelayStates {1, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("channels 1, 3, 5, 7 on") << RelayStates {1, 0, 1, 0, 1, 0, 1, 0};
    QTest::newRow("channels 2 to 7 on") << RelayStates {0, 1, 1, 1, 1, 1, 1, 0};
}

void tst_VirtualBoardEndToEnd::rtsReleasedBeforeFirstClock()
{
    QFETCH(RelayStates, states);

    RealPortRig rig;
    QString expected;
    RelayStates inverse {};
    for (int i = 0; i < 8; ++i) {
        expected += states[i] == 1 ? QLatin1Char('1') : QLatin1Char('0');
        inverse[i] = states[i] == 1 ? 0 : 1;
    }
    // Twice, after a frame of the opposite states each time, so that nothing left in the
    // chain can make a short frame look right.
    for (int round = 0; round < 2; ++round) {
        QVERIFY2(rig.board.WriteRelays(inverse), qPrintable(rig.port.errorString()));
        QVERIFY2(rig.board.WriteRelays(states), qPrintable(rig.port.errorString()));
        QCOMPARE(rig.latchedWord(1), expected);
    }
    QCOMPARE(rig.state(1).latches, 4);
}

void tst_VirtualBoardEndToEnd::strobeNotDroppedAtClose_data()
{
    QTest::addColumn<QString>("fault");

    QTest::newRow("close waits for the output, as the kernel does") << QStringLiteral("none");
    QTest::newRow("adapter drops unsent output at close") << QStringLiteral("close-drops");
}

void tst_VirtualBoardEndToEnd::strobeNotDroppedAtClose()
{
    QFETCH(QString, fault);

    RealPortRig rig;
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 %2").arg(rig.device(1), fault)));
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
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoardEndToEnd)
#include "tst_virtualboard_endtoend.moc"
