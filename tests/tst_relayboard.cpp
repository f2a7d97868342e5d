#include "RecordingPort.h"
#include "RelayBoard.h"

#include <QtTest>

// Relay frames as the board sees them: the wire sequence and the byte it latches.
class tst_RelayBoard : public QObject
{
    Q_OBJECT

private slots:
    void writeRelays_data();
    void writeRelays();
    void writeRelaysTwiceGivesTheSameWire();
    void failedFrame_data();
    void failedFrame();
    void allOff_data();
    void allOff();
    void allOffRunsAfterBitForEachChannelInOrder();

private:
    static QStringList wireFor(const QString &dtrBits);
};

// The sequence of one frame whose DTR levels, in time order, are dtrBits.
QStringList tst_RelayBoard::wireFor(const QString &dtrBits)
{
    QStringList wire {QStringLiteral("open1"), QStringLiteral("rts0")};
    for (const QChar bit : dtrBits)
        wire << QStringLiteral("dtr") + bit << QStringLiteral("rts1") << QStringLiteral("rts0");
    wire << QStringLiteral("tx:a") << QStringLiteral("close");
    return wire;
}

void tst_RelayBoard::writeRelays_data()
{
    QTest::addColumn<RelayStates>("states");
    QTest::addColumn<QString>("dtrInTimeOrder");
    QTest::addColumn<int>("latched");

    QTest::newRow("all off") << RelayStates {} << "00000000" << 0x00;
    QTest::newRow("all on") << RelayStates {1, 1, 1, 1, 1, 1, 1, 1} << "11111111" << 0xff;
    QTest::newRow("only channel 1 on")
        << RelayStates {1, 0, 0, 0, 0, 0, 0, 0} << "00000001" << 0x01;
    QTest::newRow("only channel 8 on")
        << RelayStates {0, 0, 0, 0, 0, 0, 0, 1} << "10000000" << 0x80;
    QTest::newRow("channels 1, 3, 4 and 7")
        << RelayStates {1, 0, 1, 1, 0, 0, 1, 0} << "01001101" << 0x4d;
    QTest::newRow("alternating") << RelayStates {0, 1, 0, 1, 0, 1, 0, 1} << "10101010" << 0xaa;
    QTest::newRow("values other than 1 are off")
        << RelayStates {2, -1, 1, 0, 255, 1, 0, 3} << "00100100" << 0x24;
}

void tst_RelayBoard::writeRelays()
{
    QFETCH(RelayStates, states);
    QFETCH(QString, dtrInTimeOrder);
    QFETCH(int, latched);

    RecordingPort port;
    RelayBoard board(port);
    QVERIFY(board.WriteRelays(states));

    QCOMPARE(port.wire, wireFor(dtrInTimeOrder));
    // The double raises RTS on opening as the kernel does, so this also proves that an RTS left
    // asserted at open does not cost the first bit.
    QCOMPARE(port.boards[1].outputs(), latched);
    QCOMPARE(port.boards[1].latches(), 1);
    QVERIFY(!port.boards[1].rts());
}

void tst_RelayBoard::writeRelaysTwiceGivesTheSameWire()
{
    RecordingPort port;
    RelayBoard board(port);
    const RelayStates states {0, 1, 1, 0, 0, 0, 0, 1};
    QVERIFY(board.WriteRelays(states));
    const QStringList first = port.wire;
    port.clearWire();
    QVERIFY(board.WriteRelays(states));
    QCOMPARE(port.wire, first);
    QCOMPARE(port.boards[1].latches(), 2);
}

void tst_RelayBoard::failedFrame_data()
{
    QTest::addColumn<bool>("portUnusable");
    QTest::addColumn<QStringList>("wire");

    QTest::newRow("port cannot be opened") << true << QStringList {QStringLiteral("open1!")};
    // A port whose lines refuse requests (a pseudo-terminal, an unplugged adapter) is closed again
    // without sending the strobe, so no half frame is latched.
    QTest::newRow("line requests fail")
        << false << QStringList {QStringLiteral("open1"), QStringLiteral("close")};
}

void tst_RelayBoard::failedFrame()
{
    QFETCH(bool, portUnusable);
    QFETCH(QStringList, wire);

    RecordingPort port;
    if (portUnusable)
        port.unusablePorts << 1;
    else
        port.linesFail = true;
    RelayBoard board(port);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    QVERIFY(!board.WriteRelays({1, 1, 1, 1, 1, 1, 1, 1}));
    QCOMPARE(port.wire, wire);
    QCOMPARE(port.boards[1].latches(), 0);

    // A lasting fault is reported once, not at every frame; the next good frame goes out whole.
    QVERIFY(!board.WriteRelays({1, 1, 1, 1, 1, 1, 1, 1}));
    port.unusablePorts.clear();
    port.linesFail = false;
    QVERIFY(board.WriteRelays({1, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(port.boards[1].outputs(), 0x01);
}

void tst_RelayBoard::allOff_data()
{
    QTest::addColumn<quint16>("startPort");
    QTest::addColumn<QList<quint16>>("unusable");
    QTest::addColumn<quint16>("endPort");
    QTest::addColumn<quint16>("latchedOn"); // 0: no board latched anything

    QTest::newRow("port in use works")
        << quint16(1) << QList<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("port 2 in use works")
        << quint16(2) << QList<quint16> {} << quint16(2) << quint16(2);
    QTest::newRow("port 1 fails, 2 works")
        << quint16(1) << QList<quint16> {1} << quint16(2) << quint16(2);
    QTest::newRow("port 2 fails, 1 works")
        << quint16(2) << QList<quint16> {2} << quint16(1) << quint16(1);
    QTest::newRow("port 0 falls back to 1")
        << quint16(0) << QList<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("port 7 falls back to 1")
        << quint16(7) << QList<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("neither works, from 1")
        << quint16(1) << QList<quint16> {1, 2} << quint16(2) << quint16(0);
    QTest::newRow("neither works, from 2")
        << quint16(2) << QList<quint16> {1, 2} << quint16(1) << quint16(0);
}

void tst_RelayBoard::allOff()
{
    QFETCH(quint16, startPort);
    QFETCH(QList<quint16>, unusable);
    QFETCH(quint16, endPort);
    QFETCH(quint16, latchedOn);

    RecordingPort port;
    port.setPortNumber(startPort);
    for (quint16 number : unusable)
        port.unusablePorts << number;
    // Both boards start with every output on, so a latch of zeros shows.
    for (quint16 number : {quint16(1), quint16(2)}) {
        port.setPortNumber(number);
        port.unusablePorts.remove(number);
        RelayBoard(port).WriteRelays({1, 1, 1, 1, 1, 1, 1, 1});
        if (unusable.contains(number))
            port.unusablePorts << number;
    }
    port.setPortNumber(startPort);
    port.clearWire();

    RelayBoard(port).WriteAllOff();

    QCOMPARE(port.portNumber(), endPort);
    for (quint16 number : {quint16(1), quint16(2)}) {
        const BoardModel &board = port.boards[number];
        QCOMPARE(board.outputs(), number == latchedOn ? 0x00 : 0xff);
        QCOMPARE(board.latches(), number == latchedOn ? 2 : 1);
    }
    if (latchedOn)
        QCOMPARE(port.wire.mid(port.wire.indexOf(QStringLiteral("open%1").arg(latchedOn))),
            wireFor(QStringLiteral("00000000"))
                .replaceInStrings(
                    QStringLiteral("open1"), QStringLiteral("open%1").arg(latchedOn)));
    else
        QVERIFY(!port.wire.contains(QStringLiteral("tx:a")));
}

void tst_RelayBoard::allOffRunsAfterBitForEachChannelInOrder()
{
    RecordingPort port;
    QList<int> channels;
    RelayBoard(port).WriteAllOff([&](int channel) {
        channels << channel;
        // Each channel's reset follows the shifting of its own zero bit.
        QCOMPARE(port.wire.count(QStringLiteral("rts1")), channel);
    });
    QCOMPARE(channels, (QList<int> {1, 2, 3, 4, 5, 6, 7, 8}));
}

QTEST_GUILESS_MAIN(tst_RelayBoard)
#include "tst_relayboard.moc"
