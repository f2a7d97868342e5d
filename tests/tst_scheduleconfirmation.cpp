#include "ChannelRig.h"

#include <QtTest>

// Confirming the dialog without the dialog: times stored, chosen port tried, old port back on
// failure.
class tst_ScheduleConfirmation : public QObject
{
    Q_OBJECT

private slots:
    void confirm_data();
    void confirm();
};

using PortSet = QSet<quint16>;

void tst_ScheduleConfirmation::confirm_data()
{
    QTest::addColumn<quint16>("portBefore");
    QTest::addColumn<quint16>("chosen");
    QTest::addColumn<PortSet>("unusable");
    QTest::addColumn<bool>("success");
    QTest::addColumn<quint16>("portAfter");
    QTest::addColumn<QStringList>("wire");

    const QStringList open1 = {QStringLiteral("open1"), QStringLiteral("close")};
    const QStringList open2 = {QStringLiteral("open2"), QStringLiteral("close")};

    QTest::newRow("port in use again")
        << quint16(1) << quint16(1) << PortSet {} << true << quint16(1) << open1;
    QTest::newRow("Com2 working, Com1 unusable")
        << quint16(1) << quint16(2) << PortSet {1} << true << quint16(2) << open2;
    QTest::newRow("Com1 unusable from Com2")
        << quint16(2) << quint16(1) << PortSet {1} << false << quint16(2)
        << QStringList {QStringLiteral("open1!")};
    QTest::newRow("no port") << quint16(1) << quint16(0) << PortSet {} << false << quint16(1)
                             << QStringList {QStringLiteral("open0!")};
}

void tst_ScheduleConfirmation::confirm()
{
    QFETCH(quint16, portBefore);
    QFETCH(quint16, chosen);
    QFETCH(PortSet, unusable);
    QFETCH(bool, success);
    QFETCH(quint16, portAfter);
    QFETCH(QStringList, wire);

    ChannelRig rig;
    rig.board.setPortNumber(portBefore);
    rig.port.unusablePorts = unusable;

    // Every slot distinct, with the picker's midnight and equal on and off times among them.
    PerChannel<QTime> switchOn;
    PerChannel<QTime> switchOff;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        switchOn[channel] = QTime(6 + channel, channel, 30);
        switchOff[channel] = QTime(19 + channel / 2, 59 - channel, 1);
    }
    switchOn[3] = QTime(0, 0);
    switchOff[6] = switchOn[6];

    QSignalSpy finished(&rig.confirmation, &ScheduleConfirmation::finished);
    rig.confirmation.confirm(switchOn, switchOff, chosen);

    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].value<LinkError>().failed(), !success);
    QCOMPARE(rig.board.portNumber(), portAfter);
    QCOMPARE(rig.port.wire, wire);
    // The times are stored whether or not the port works.
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        QCOMPARE(rig.store.SwitchOnTime(channel), switchOn[channel]);
        QCOMPARE(rig.store.SwitchOffTime(channel), switchOff[channel]);
    }
}

QTEST_GUILESS_MAIN(tst_ScheduleConfirmation)
#include "tst_scheduleconfirmation.moc"
