#include "RecordingPort.h"
#include "RelayBoard.h"

#include <QtTest>

// Relay frames as the board sees them: the wire sequence, the byte it latches, and why a frame
// failed.
class tst_RelayBoard : public QObject
{
    Q_OBJECT

private slots:
    void write_data();
    void write();
    void failedFrame_data();
    void failedFrame();
};

namespace {
RelayStates statesOf(quint8 outputs)
{
    RelayStates states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states[channel] = outputs >> (channel - 1) & 1;
    return states;
}
} // namespace

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

    RecordingPort port;
    RelayBoard board(port);
    QVERIFY(!board.write(statesOf(quint8(outputs))).failed());

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

    RecordingPort port;
    if (portUnusable)
        port.unusablePorts << 1;
    else
        port.linesFail = true;
    RelayBoard board(port);
    const RelayStates allOn = statesOf(0xff);

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    const LinkError error = board.write(allOn);
    QCOMPARE(error.reason, reason);
    QCOMPARE(error.text, QStringLiteral("port 1 failed"));
    QCOMPARE(port.wire, wire);
    QCOMPARE(port.boards[1].latches(), 0);

    // Every tick writes a frame: a lasting fault is reported once, not a hundred times a second.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("relay frame failed")));
    QVERIFY(board.write(allOn).failed());
    port.unusablePorts.clear();
    port.linesFail = false;
    QVERIFY(!board.write(statesOf(0x01)).failed());
    QCOMPARE(port.boards[1].outputs(), 0x01);
}

QTEST_GUILESS_MAIN(tst_RelayBoard)
#include "tst_relayboard.moc"
