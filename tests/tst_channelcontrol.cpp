#include "ChannelRig.h"

#include <QtTest>

// The commands of the window's buttons and the load step, driven without a window.
class tst_ChannelControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void load_data();
    void load();
    void manualSwitch();
    void toggleAutoMode_data();
    void toggleAutoMode();
    void allOff_data();
    void allOff();

private:
    std::unique_ptr<ChannelRig> rig;
};

void tst_ChannelControl::init()
{
    rig = std::make_unique<ChannelRig>();
    rig->channels.load();
    rig->port.clearWire();
}

void tst_ChannelControl::load_data()
{
    QTest::addColumn<QList<quint16>>("unusable");
    QTest::addColumn<QString>("portLabel");

    QTest::newRow("port 1 works") << QList<quint16> {} << "1";
    QTest::newRow("port 1 missing") << QList<quint16> {1} << "2";
}

void tst_ChannelControl::load()
{
    QFETCH(QList<quint16>, unusable);
    QFETCH(QString, portLabel);

    ChannelRig fresh;
    for (quint16 number : unusable)
        fresh.port.unusablePorts << number;
    fresh.store.setSwitchOnTime(3, QTime(7, 0));
    fresh.view.shownOn.fill(true);
    fresh.view.shownAutomatic.fill(true);
    fresh.channels.load();

    QCOMPARE(fresh.view.portLabel, portLabel);
    // Why port 1 was left is shown, as the reason its frame failed.
    QCOMPARE(
        fresh.view.portLeft, unusable.isEmpty() ? QString() : QStringLiteral("1: port 1 failed"));
    QCOMPARE(fresh.view.shownOn, PerChannel<bool>());
    QCOMPARE(fresh.view.shownAutomatic, PerChannel<bool>());
    QVERIFY(!fresh.store.SwitchOnTime(3).isValid());
    QCOMPARE(fresh.port.boards[portLabel.toUShort()].latches(), unusable.size() < 2 ? 1 : 0);
}

void tst_ChannelControl::manualSwitch()
{
    rig->enterAutomatic(2, QTime(8, 0), QTime(9, 0));

    rig->channels.manualSwitch(2);
    QVERIFY(!rig->channels.AutoMode(2));
    QVERIFY(!rig->view.shownAutomatic[2]);
    QVERIFY(rig->channels.RelayState(2));
    QVERIFY(rig->view.shownOn[2]);
    QCOMPARE(rig->port.boards[1].outputs(), 0x02);

    rig->channels.manualSwitch(2);
    QVERIFY(!rig->view.shownOn[2]);
    QCOMPARE(rig->port.boards[1].outputs(), 0x00);
    // The switching times stay for the next time automatic mode is entered.
    QCOMPARE(rig->store.SwitchOnTime(2), QTime(8, 0));
}

void tst_ChannelControl::toggleAutoMode_data()
{
    QTest::addColumn<bool>("automaticBefore");
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<QTime>("onFromDialog");
    QTest::addColumn<QTime>("offFromDialog");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<bool>("automaticAfter");

    const QTime none;
    const QTime midnight(0, 0);
    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("both defined: no dialog")
        << false << seven << nineteen << none << none << 0 << true;
    QTest::newRow("both defined, automatic: back to manual")
        << true << seven << nineteen << none << none << 0 << false;
    QTest::newRow("both empty, dialog sets both")
        << false << none << none << seven << nineteen << 1 << true;
    QTest::newRow("dialog cancelled") << false << none << none << none << none << 1 << false;
    QTest::newRow("dialog leaves off at midnight")
        << false << none << none << seven << midnight << 1 << false;
    // It stays automatic and keeps switching until its switch or all-off takes it out.
    QTest::newRow("automatic, off time since set to midnight")
        << true << seven << midnight << seven << midnight << 1 << true;
}

void tst_ChannelControl::toggleAutoMode()
{
    QFETCH(bool, automaticBefore);
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(QTime, onFromDialog);
    QFETCH(QTime, offFromDialog);
    QFETCH(int, dialogs);
    QFETCH(bool, automaticAfter);

    rig->channels.manualSwitch(6);
    if (automaticBefore)
        rig->enterAutomatic(6, QTime(7, 0), QTime(19, 0));
    rig->store.setSwitchOnTime(6, on);
    rig->store.setSwitchOffTime(6, off);
    rig->port.clearWire();
    // Only what the slots hold once the dialog has closed counts.
    rig->view.onSchedule = [&] {
        rig->store.setSwitchOnTime(6, onFromDialog);
        rig->store.setSwitchOffTime(6, offFromDialog);
    };

    rig->channels.toggleAutoMode(6);

    QCOMPARE(rig->view.schedulesShown, dialogs);
    QCOMPARE(rig->channels.AutoMode(6), automaticAfter);
    QCOMPARE(rig->view.shownAutomatic[6], automaticAfter);
    const bool refused = dialogs && automaticBefore == automaticAfter;
    QCOMPARE(rig->view.refusals, refused ? QStringList {ChannelControl::kRefusal} : QStringList());
    // The output stays as it is until a switching time comes, and the toggle writes no frame.
    QVERIFY(rig->channels.RelayState(6));
    QVERIFY(rig->port.wire.isEmpty());
}

void tst_ChannelControl::allOff_data()
{
    QTest::addColumn<quint16>("startPort");
    QTest::addColumn<bool>("reachedBefore"); // the port in use has carried a frame since chosen
    QTest::addColumn<QList<quint16>>("unusable");
    QTest::addColumn<quint16>("endPort");
    QTest::addColumn<quint16>("latchedOn"); // 0: no board latched the zeros

    QTest::newRow("port in use works")
        << quint16(1) << true << QList<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("port 1 never reached, 2 works")
        << quint16(1) << false << QList<quint16> {1} << quint16(2) << quint16(2);
    QTest::newRow("port 2 never reached, 1 works")
        << quint16(2) << false << QList<quint16> {2} << quint16(1) << quint16(1);
    QTest::newRow("port 7 falls back to 1")
        << quint16(7) << false << QList<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("neither works, from 1")
        << quint16(1) << false << QList<quint16> {1, 2} << quint16(2) << quint16(0);
    QTest::newRow("neither works, from 2")
        << quint16(2) << false << QList<quint16> {1, 2} << quint16(1) << quint16(0);
    // The board hangs on the port that stopped answering (unplugged for a moment, or taken):
    // STOP must not leave it there with its loads on.
    QTest::newRow("port 1 stopped answering, 2 works")
        << quint16(1) << true << QList<quint16> {1} << quint16(1) << quint16(0);
}

void tst_ChannelControl::allOff()
{
    QFETCH(quint16, startPort);
    QFETCH(bool, reachedBefore);
    QFETCH(QList<quint16>, unusable);
    QFETCH(quint16, endPort);
    QFETCH(quint16, latchedOn);

    // Both boards start with every output on, so a latch of zeros shows; the port in use was
    // reached last, or not since it was chosen.
    ChannelRig rig;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        rig.channels.manualSwitch(channel);
    rig.enterAutomatic(8, QTime(1, 2, 3), QTime(4, 5, 6));
    QList<quint16> order {1, 2};
    if ((order.last() == startPort) != reachedBefore)
        std::reverse(order.begin(), order.end());
    for (quint16 number : order) {
        rig.board.setPortNumber(number);
        rig.channels.WriteRelays();
    }
    rig.board.setPortNumber(startPort);
    for (quint16 number : unusable)
        rig.port.unusablePorts << number;

    if (!unusable.isEmpty() || startPort > 2)
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    rig.channels.allOff();

    QCOMPARE(rig.board.portNumber(), endPort);
    // The label follows the port in use, so the user is not told the old port.
    QCOMPARE(rig.view.portLabel, endPort == startPort ? QString() : QString::number(endPort));
    QCOMPARE(rig.view.portLeft.isEmpty(), endPort == startPort);
    for (quint16 number : {quint16(1), quint16(2)})
        QCOMPARE(rig.port.boards[number].outputs(), number == latchedOn ? 0x00 : 0xff);
    QCOMPARE(rig.view.shownOn, PerChannel<bool>());
    QCOMPARE(rig.view.shownAutomatic, PerChannel<bool>());
    QVERIFY(!rig.channels.AutoMode(8));
    QCOMPARE(rig.store.SwitchOffTime(8), QTime(4, 5, 6));
    QVERIFY(rig.view.refusals.isEmpty());

    // Once the port answers again, the next tick's frame of zeros reaches the board on it.
    rig.port.unusablePorts.clear();
    rig.clock.tick();
    QCOMPARE(rig.port.boards[endPort].outputs(), 0x00);
    QVERIFY(!rig.view.linkFailure.failed());
}

QTEST_GUILESS_MAIN(tst_ChannelControl)
#include "tst_channelcontrol.moc"
