#include "ChannelRig.h"
#include "Indicators.h"

#include <QtTest>

// The commands of the window's buttons, driven without a window.
class tst_ChannelControl : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void loadLeavesEverythingOffAndShowsThePort_data();
    void loadLeavesEverythingOffAndShowsThePort();
    void manualSwitchLeavesAutomaticMode();
    void twoManualSwitchesRestoreTheOutput();
    void toggleWithBothTimesDefined();
    void toggleWithUndefinedTime_data();
    void toggleWithUndefinedTime();
    void automaticChannelWhoseTimeBecameMidnightStaysAutomatic();
    void allOffResetsEverythingButTheTimes();
    void allOffWithNoPortFlipsThePortAndShowsIt();
    void settingsChangesNoChannel();

private:
    std::unique_ptr<ChannelRig> rig;
};

void tst_ChannelControl::init()
{
    rig = std::make_unique<ChannelRig>();
    rig->channels.load();
    rig->port.clearWire();
}

void tst_ChannelControl::loadLeavesEverythingOffAndShowsThePort_data()
{
    QTest::addColumn<QList<quint16>>("unusable");
    QTest::addColumn<QString>("portLabel");

    QTest::newRow("port 1 works") << QList<quint16> {} << "1";
    QTest::newRow("port 1 missing") << QList<quint16> {1} << "2";
    // The fallback moves to port 2 whether or not port 2 opens.
    QTest::newRow("no port at all") << QList<quint16> {1, 2} << "2";
}

void tst_ChannelControl::loadLeavesEverythingOffAndShowsThePort()
{
    QFETCH(QList<quint16>, unusable);
    QFETCH(QString, portLabel);

    ChannelRig fresh;
    for (quint16 number : unusable)
        fresh.port.unusablePorts << number;
    fresh.store.setSwitchOnTime(3, QTime(7, 0));
    fresh.channels.load();

    QCOMPARE(fresh.view.portLabel, portLabel);
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(fresh.channels.RelayState(channel), 0);
        QCOMPARE(fresh.channels.AutoMode(channel), 0);
        QCOMPARE(fresh.view.captions[channel - 1], QStringLiteral("S"));
        QCOMPARE(fresh.view.lampColours[channel - 1], Indicators::kLampOff);
        QVERIFY(!fresh.view.autoLamps[channel - 1]);
        QVERIFY(!fresh.store.SwitchOnTime(channel).isValid());
        QVERIFY(!fresh.store.SwitchOffTime(channel).isValid());
    }
    const bool latched = unusable.size() < 2;
    QCOMPARE(fresh.port.boards[portLabel.toUShort()].latches(), latched ? 1 : 0);
}

void tst_ChannelControl::manualSwitchLeavesAutomaticMode()
{
    rig->store.setSwitchOnTime(2, QTime(8, 0));
    rig->store.setSwitchOffTime(2, QTime(9, 0));
    rig->channels.toggleAutoMode(2);
    QCOMPARE(rig->channels.AutoMode(2), 1);

    rig->channels.manualSwitch(2);

    QCOMPARE(rig->channels.AutoMode(2), 0);
    QVERIFY(!rig->view.autoLamps[1]);
    QCOMPARE(rig->channels.RelayState(2), 1);
    QCOMPARE(rig->view.captions[1], QStringLiteral("V"));
    QCOMPARE(rig->view.lampColours[1], Indicators::kLampOn);
    QCOMPARE(rig->port.boards[1].outputs(), 0x02);
    // The switching times stay for the next time automatic mode is entered.
    QCOMPARE(rig->store.SwitchOnTime(2), QTime(8, 0));
}

void tst_ChannelControl::twoManualSwitchesRestoreTheOutput()
{
    rig->channels.manualSwitch(5);
    QCOMPARE(rig->port.boards[1].outputs(), 0x10);
    rig->channels.manualSwitch(5);
    QCOMPARE(rig->port.boards[1].outputs(), 0x00);
    QCOMPARE(rig->port.boards[1].latches(), 3);
    QCOMPARE(rig->channels.AutoMode(5), 0);
    QCOMPARE(rig->view.captions[4], QStringLiteral("S"));
    QCOMPARE(rig->view.lampColours[4], Indicators::kLampOff);
}

void tst_ChannelControl::toggleWithBothTimesDefined()
{
    rig->channels.manualSwitch(4);
    rig->port.clearWire();
    rig->store.setSwitchOnTime(4, QTime(6, 30));
    rig->store.setSwitchOffTime(4, QTime(22, 15, 5));

    rig->channels.toggleAutoMode(4);
    QCOMPARE(rig->channels.AutoMode(4), 1);
    QVERIFY(rig->view.autoLamps[3]);
    QCOMPARE(rig->view.schedulesShown, 0);
    QVERIFY(rig->view.refusals.isEmpty());
    // Entering automatic mode leaves the output as it is until a switching time comes.
    QCOMPARE(rig->channels.RelayState(4), 1);
    QVERIFY(rig->port.wire.isEmpty());

    rig->channels.toggleAutoMode(4);
    QCOMPARE(rig->channels.AutoMode(4), 0);
    QVERIFY(!rig->view.autoLamps[3]);
    QCOMPARE(rig->channels.RelayState(4), 1);
    QVERIFY(rig->port.wire.isEmpty());
}

void tst_ChannelControl::toggleWithUndefinedTime_data()
{
    QTest::addColumn<QTime>("onBefore");
    QTest::addColumn<QTime>("offBefore");
    QTest::addColumn<QTime>("onFromDialog");
    QTest::addColumn<QTime>("offFromDialog");
    QTest::addColumn<bool>("entersAutomatic");

    const QTime none;
    const QTime midnight(0, 0);
    QTest::newRow("both empty, dialog sets both")
        << none << none << QTime(7, 0) << QTime(19, 0) << true;
    QTest::newRow("off empty, dialog sets it")
        << QTime(7, 0) << none << QTime(7, 0) << QTime(19, 0) << true;
    QTest::newRow("dialog cancelled") << none << none << none << none << false;
    QTest::newRow("dialog leaves off at midnight")
        << none << none << QTime(7, 0) << midnight << false;
    QTest::newRow("on at midnight counts as undefined")
        << midnight << QTime(19, 0) << midnight << QTime(19, 0) << false;
}

void tst_ChannelControl::toggleWithUndefinedTime()
{
    QFETCH(QTime, onBefore);
    QFETCH(QTime, offBefore);
    QFETCH(QTime, onFromDialog);
    QFETCH(QTime, offFromDialog);
    QFETCH(bool, entersAutomatic);

    rig->store.setSwitchOnTime(6, onBefore);
    rig->store.setSwitchOffTime(6, offBefore);
    // Other channels' undefined times do not matter.
    rig->view.onSchedule = [&] {
        rig->store.setSwitchOnTime(6, onFromDialog);
        rig->store.setSwitchOffTime(6, offFromDialog);
    };

    rig->channels.toggleAutoMode(6);

    QCOMPARE(rig->view.schedulesShown, 1);
    QCOMPARE(rig->channels.AutoMode(6), entersAutomatic ? 1 : 0);
    QCOMPARE(rig->view.autoLamps[5], entersAutomatic);
    QCOMPARE(rig->view.refusals,
        entersAutomatic ? QStringList() : QStringList {ChannelControl::kRefusal});
    QCOMPARE(rig->channels.RelayState(6), 0);
    QVERIFY(rig->port.wire.isEmpty());
}

void tst_ChannelControl::automaticChannelWhoseTimeBecameMidnightStaysAutomatic()
{
    rig->store.setSwitchOnTime(1, QTime(7, 0));
    rig->store.setSwitchOffTime(1, QTime(8, 0));
    rig->channels.toggleAutoMode(1);
    rig->store.setSwitchOffTime(1, QTime(0, 0));

    rig->channels.toggleAutoMode(1);

    QCOMPARE(rig->view.schedulesShown, 1);
    QCOMPARE(rig->view.refusals.size(), 1);
    QCOMPARE(rig->channels.AutoMode(1), 1);
    QVERIFY(rig->view.autoLamps[0]);
}

void tst_ChannelControl::allOffResetsEverythingButTheTimes()
{
    rig->store.setSwitchOnTime(8, QTime(1, 2, 3));
    rig->store.setSwitchOffTime(8, QTime(4, 5, 6));
    rig->channels.toggleAutoMode(8);
    for (int channel : {1, 3, 7})
        rig->channels.manualSwitch(channel);
    QCOMPARE(rig->port.boards[1].outputs(), 0x45);

    rig->channels.allOff();

    QCOMPARE(rig->port.boards[1].outputs(), 0x00);
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(rig->channels.RelayState(channel), 0);
        QCOMPARE(rig->channels.AutoMode(channel), 0);
        QVERIFY(!rig->view.autoLamps[channel - 1]);
        QCOMPARE(rig->view.captions[channel - 1], QStringLiteral("S"));
        QCOMPARE(rig->view.lampColours[channel - 1], Indicators::kLampOff);
    }
    QCOMPARE(rig->store.SwitchOnTime(8), QTime(1, 2, 3));
    QCOMPARE(rig->store.SwitchOffTime(8), QTime(4, 5, 6));
}

void tst_ChannelControl::allOffWithNoPortFlipsThePortAndShowsIt()
{
    rig->channels.manualSwitch(2);
    rig->port.unusablePorts = {1, 2};
    rig->port.clearWire();
    rig->view.portLabel.clear();

    rig->channels.allOff();
    QCOMPARE(rig->port.portNumber(), 2);
    // The label follows the port in use, so the user is not told the old port.
    QCOMPARE(rig->view.portLabel, QStringLiteral("2"));
    QCOMPARE(rig->channels.RelayState(2), 0);
    QCOMPARE(rig->view.lampColours[1], Indicators::kLampOff);
    QVERIFY(rig->view.refusals.isEmpty());

    rig->channels.allOff();
    QCOMPARE(rig->port.portNumber(), 1);
    QCOMPARE(rig->view.portLabel, QStringLiteral("1"));
    QVERIFY(!rig->port.wire.contains(QStringLiteral("tx:a")));
}

void tst_ChannelControl::settingsChangesNoChannel()
{
    rig->store.setSwitchOnTime(3, QTime(7, 0));
    rig->store.setSwitchOffTime(3, QTime(8, 0));
    rig->channels.toggleAutoMode(3);
    rig->view.onSchedule = [&] { rig->store.setSwitchOffTime(3, QTime()); };

    rig->channels.settings();

    QCOMPARE(rig->view.schedulesShown, 1);
    QCOMPARE(rig->channels.AutoMode(3), 1);
    QVERIFY(rig->port.wire.isEmpty());
}

QTEST_GUILESS_MAIN(tst_ChannelControl)
#include "tst_channelcontrol.moc"
