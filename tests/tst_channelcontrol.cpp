// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "RememberedState.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The engine's commands, as every front-end drives them, and what each leaves on the board, in
// what it announces and in what it remembers.
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
    void allOffWhileFramesFail();
    void portChange_data();
    void portChange();
    void remembered_data();
    void remembered();
    void restore_data();
    void restore();

private:
    std::unique_ptr<ChannelRig> rig;
};

void tst_ChannelControl::init()
{
    rig = std::make_unique<ChannelRig>();
    rig->channels.load();
    rig->port.wire.clear();
}

void tst_ChannelControl::load_data()
{
    QTest::addColumn<QSet<quint16>>("unusable");
    QTest::addColumn<QString>("portLabel");

    QTest::newRow("port 1 works") << QSet<quint16> {} << "1";
    QTest::newRow("port 1 missing") << QSet<quint16> {1} << "2";
}

void tst_ChannelControl::load()
{
    QFETCH(QSet<quint16>, unusable);
    QFETCH(QString, portLabel);

    ChannelRig fresh;
    fresh.port.unusablePorts = unusable;
    fresh.store.setSwitchOnTime(3, QTime(7, 0));
    fresh.view.shownOn.fill(true);
    fresh.view.shownAutomatic.fill(true);
    fresh.channels.load();

    QCOMPARE(fresh.view.portLabel, portLabel);
    // Why port 1 was left is shown, as the reason its frame failed.
    QCOMPARE(fresh.view.portLeft, unusable.isEmpty() ? QString() : u"1: port 1 failed"_s);
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
    QVERIFY(rig->view.shownOn[2]);
    QCOMPARE(rig->port.boards[1].outputs(), 0x02);

    rig->channels.manualSwitch(2);
    QVERIFY(!rig->view.shownOn[2]);
    QCOMPARE(rig->port.boards[1].outputs(), 0x00);
    // The switching times stay for the next time automatic mode is entered.
    QCOMPARE(rig->store.SwitchOnTime(2), QTime(8, 0));

    // Switching on by name, as the bus and the network do, also ends automatic mode.
    rig->enterAutomatic(8, QTime(8, 0), QTime(9, 0));
    rig->channels.switchManually(8, true);
    QVERIFY(!rig->view.shownAutomatic[8]);
    QCOMPARE(rig->port.boards[1].outputs(), 0x80);
}

void tst_ChannelControl::toggleAutoMode_data()
{
    QTest::addColumn<bool>("automaticBefore");
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<bool>("automaticAfter");

    const QTime none;
    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("both defined") << false << seven << nineteen << true;
    QTest::newRow("both defined, automatic: back to manual") << true << seven << nineteen << false;
    QTest::newRow("both empty: refused") << false << none << none << false;
    QTest::newRow("off at midnight: refused") << false << seven << QTime(0, 0) << false;
    // It stays automatic and keeps switching until its switch or all-off takes it out.
    QTest::newRow("automatic, off time since set to midnight: refused")
        << true << seven << QTime(0, 0) << true;
}

void tst_ChannelControl::toggleAutoMode()
{
    QFETCH(bool, automaticBefore);
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(bool, automaticAfter);

    rig->channels.manualSwitch(6);
    if (automaticBefore)
        rig->enterAutomatic(6, QTime(7, 0), QTime(19, 0));
    rig->channels.setTimes(6, on, off);
    rig->port.wire.clear();

    const auto outcome = rig->channels.toggleAutoMode(6);

    QCOMPARE(outcome == ChannelControl::Outcome::TimesMissing, automaticBefore == automaticAfter);
    QCOMPARE(rig->channels.AutoMode(6), automaticAfter);
    QCOMPARE(rig->view.shownAutomatic[6], automaticAfter);
    // The output stays as it is until a switching time comes, and the toggle writes no frame.
    QVERIFY(rig->channels.RelayState(6));
    QVERIFY(rig->port.wire.isEmpty());
}

void tst_ChannelControl::allOff_data()
{
    QTest::addColumn<quint16>("startPort");
    QTest::addColumn<bool>("reachedBefore"); // the port in use has carried a frame since chosen
    QTest::addColumn<QSet<quint16>>("unusable");
    QTest::addColumn<quint16>("endPort");
    QTest::addColumn<quint16>("latchedOn"); // 0: no board latched the zeros

    QTest::newRow("port in use works")
        << quint16(1) << true << QSet<quint16> {} << quint16(1) << quint16(1);
    QTest::newRow("port 1 never reached, 2 works")
        << quint16(1) << false << QSet<quint16> {1} << quint16(2) << quint16(2);
    QTest::newRow("port 2 never reached, 1 works")
        << quint16(2) << false << QSet<quint16> {2} << quint16(1) << quint16(1);
    QTest::newRow("port 7 falls back to 1")
        << quint16(7) << false << QSet<quint16> {} << quint16(1) << quint16(1);
    // The board hangs on the port that stopped answering (unplugged for a moment, or taken):
    // STOP must not leave it there with its loads on.
    QTest::newRow("port 1 stopped answering, 2 works")
        << quint16(1) << true << QSet<quint16> {1} << quint16(1) << quint16(0);
}

void tst_ChannelControl::allOff()
{
    QFETCH(quint16, startPort);
    QFETCH(bool, reachedBefore);
    QFETCH(QSet<quint16>, unusable);
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
    rig.port.unusablePorts = unusable;

    if (!unusable.isEmpty() || startPort > 2)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"kirjutamine ebaõnnestus"_s));
    rig.channels.allOff();

    QCOMPARE(rig.board.portNumber(), endPort);
    // The label follows the port in use, so the user is not told the old port.
    QCOMPARE(rig.view.portLabel, endPort == startPort ? QString() : QString::number(endPort));
    QCOMPARE(rig.view.portLeft.isEmpty(), endPort == startPort);
    for (quint16 number : {quint16(1), quint16(2)})
        QCOMPARE(rig.port.boards[number].outputs(), number == latchedOn ? 0x00 : 0xff);
    QCOMPARE(rig.view.shownOn, PerChannel<bool>());
    QCOMPARE(rig.view.shownAutomatic, PerChannel<bool>());
    QCOMPARE(rig.store.SwitchOffTime(8), QTime(4, 5, 6));

    // Once the port answers again, the next tick's frame of zeros reaches the board on it.
    rig.port.unusablePorts.clear();
    rig.clock.tick();
    QCOMPARE(rig.port.boards[endPort].outputs(), 0x00);
    QVERIFY(!rig.view.linkFailure.failed());
}

void tst_ChannelControl::allOffWhileFramesFail()
{
    // Neither port opens: the start moved to port 2, whose ticks fail the same way every time.
    // Each all-off is told all the same, and moves to the other port, as the start did.
    ChannelRig rig;
    rig.port.unusablePorts << 1 << 2;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"kirjutamine ebaõnnestus"_s));
    rig.channels.load();
    rig.clock.tick();
    QCOMPARE(rig.board.portNumber(), quint16(2));
    QVERIFY(rig.view.linkFailure.failed());

    rig.channels.allOff();
    QCOMPARE(rig.board.portNumber(), quint16(1));
    rig.channels.allOff();
    QCOMPARE(rig.board.portNumber(), quint16(2));
}

void tst_ChannelControl::portChange_data()
{
    QTest::addColumn<quint16>("chosen");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("superseded"); // another choice follows before the trial's answer
    QTest::addColumn<quint16>("inUse");

    QTest::newRow("port 2 works") << quint16(2) << false << false << quint16(2);
    QTest::newRow("no port") << quint16(0) << false << false << quint16(1);
    QTest::newRow("port 2 works, but the choice was cancelled")
        << quint16(2) << true << false << quint16(1);
    QTest::newRow("port 2, superseded by port 1") << quint16(2) << false << true << quint16(1);
}

void tst_ChannelControl::portChange()
{
    QFETCH(quint16, chosen);
    QFETCH(bool, cancelled);
    QFETCH(bool, superseded);
    QFETCH(quint16, inUse);

    QSignalSpy finished(&rig->channels, &ChannelControl::portChangeFinished);
    const quint64 trial = rig->channels.changePort(chosen);
    if (cancelled)
        rig->channels.cancelPortChange(trial);
    if (superseded)
        rig->channels.changePort(1);
    // Trials answer through the event loop, as the writing thread's do.
    QTest::qWait(0);
    QCoreApplication::processEvents();

    QCOMPARE(rig->board.portNumber(), inUse);
    rig->channels.manualSwitch(4);
    QCOMPARE(rig->port.boards[inUse].outputs(), 0x08);
    if (!cancelled && !superseded) {
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].value<quint64>(), trial);
        QCOMPARE(finished[0][1].value<LinkError>().failed(), inUse != chosen);
    }
}

void tst_ChannelControl::remembered_data()
{
    using Command = std::function<void(ChannelRig &)>;
    QTest::addColumn<Command>("command");

    QTest::newRow("manual switch") << Command([](ChannelRig &r) { r.channels.manualSwitch(3); });
    QTest::newRow("entering automatic mode") << Command([](ChannelRig &r) {
        r.channels.setTimes(3, QTime(8, 0), QTime(9, 0));
        r.channels.toggleAutoMode(3);
    });
    QTest::newRow("times") << Command(
        [](ChannelRig &r) { r.channels.setTimes(3, QTime(8, 0), QTime()); });
    // It stays automatic, switching at midnight, and a restart must be able to resume that.
    QTest::newRow("an automatic channel's time taken away") << Command([](ChannelRig &r) {
        r.enterAutomatic(3, QTime(8, 0), QTime(9, 0));
        r.channels.setTimes(3, QTime(8, 0), QTime());
    });
    QTest::newRow("a change of port alone") << Command([](ChannelRig &r) {
        r.channels.changePort(2);
        QTest::qWait(0);
    });
    QTest::newRow("the schedule") << Command([](ChannelRig &r) {
        r.enterAutomatic(3, QTime(12, 0, 1), QTime(13, 0));
        r.now = r.now.addSecs(1);
        r.clock.tick();
    });
    QTest::newRow("all off") << Command([](ChannelRig &r) {
        r.channels.manualSwitch(5);
        r.channels.allOff();
    });
}

void tst_ChannelControl::remembered()
{
    QFETCH(std::function<void(ChannelRig &)>, command);

    QTemporaryDir dir;
    RememberedState memory(dir.filePath(u"state.conf"_s));
    rig->channels.attachMemory(memory);
    command(*rig);

    // What a restart would read back is what the engine holds now.
    QString problem;
    const auto snapshot = RememberedState(dir.filePath(u"state.conf"_s)).load(&problem);
    QVERIFY2(snapshot, qPrintable(problem));
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        QCOMPARE(snapshot->relayState[channel], rig->channels.RelayState(channel));
        QCOMPARE(snapshot->automatic[channel], rig->channels.AutoMode(channel));
        QCOMPARE(snapshot->switchOn[channel], rig->store.SwitchOnTime(channel));
        QCOMPARE(snapshot->switchOff[channel], rig->store.SwitchOffTime(channel));
    }
    QCOMPARE(snapshot->portNumber, rig->board.portNumber());
}

void tst_ChannelControl::restore_data()
{
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<QTime>("now");
    QTest::addColumn<bool>("state");

    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("before the switch-on time") << seven << nineteen << QTime(6, 59, 59) << false;
    QTest::newRow("at the switch-on time") << seven << nineteen << seven << true;
    QTest::newRow("at the switch-off time") << seven << nineteen << nineteen << false;
    QTest::newRow("after the switch-off time") << seven << nineteen << QTime(19, 0, 1) << false;
    QTest::newRow("across midnight, evening") << nineteen << seven << QTime(23, 0) << true;
    QTest::newRow("across midnight, after midnight") << nineteen << seven << QTime(0, 30) << true;
    QTest::newRow("across midnight, day") << nineteen << seven << QTime(12, 0) << false;
    QTest::newRow("equal times: never switched off") << seven << seven << QTime(3, 0) << true;
}

void tst_ChannelControl::restore()
{
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(QTime, now);
    QFETCH(bool, state);

    // Channel 2 automatic with the row's times, channel 5 manual and on, and port 2 in use.
    RememberedState::Snapshot snapshot;
    snapshot.switchOn[2] = on;
    snapshot.switchOff[2] = off;
    snapshot.automatic[2] = true;
    snapshot.relayState[2] = !state;
    snapshot.relayState[5] = true;
    snapshot.portNumber = 2;

    rig->channels.restore(snapshot, QDateTime(QDate(2026, 3, 9), now));

    QCOMPARE(rig->view.portLabel, u"2"_s);
    QCOMPARE(rig->port.boards[2].outputs(), 0x10 | (state ? 0x02 : 0x00));
    QCOMPARE(rig->view.shownOn[2], state);
    QVERIFY(rig->view.shownAutomatic[2]);
    QCOMPARE(rig->store.SwitchOnTime(2), on);
    QCOMPARE(rig->store.SwitchOffTime(2), off);
}

QTEST_GUILESS_MAIN(tst_ChannelControl)
#include "tst_channelcontrol.moc"
