#include "Module1.h"
#include "RecordingPort.h"
#include "ScheduleConfirmation.h"

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
    QTest::newRow("Com2 working") << quint16(1) << quint16(2) << PortSet {} << true << quint16(2)
                                  << open2;
    QTest::newRow("back to Com1") << quint16(2) << quint16(1) << PortSet {} << true << quint16(1)
                                  << open1;
    QTest::newRow("Com2 working, Com1 unusable")
        << quint16(1) << quint16(2) << PortSet {1} << true << quint16(2) << open2;
    QTest::newRow("Com2 unusable") << quint16(1) << quint16(2) << PortSet {2} << false << quint16(1)
                                   << QStringList {QStringLiteral("open2!")};
    QTest::newRow("Com1 unusable from Com2")
        << quint16(2) << quint16(1) << PortSet {1} << false << quint16(2)
        << QStringList {QStringLiteral("open1!")};
    QTest::newRow("port in use has gone") << quint16(1) << quint16(1) << PortSet {1} << false
                                          << quint16(1) << QStringList {QStringLiteral("open1!")};
    QTest::newRow("no port") << quint16(1) << quint16(0) << PortSet {} << false << quint16(1)
                             << QStringList {QStringLiteral("open0!")};
    QTest::newRow("no port from Com2") << quint16(2) << quint16(0) << PortSet {} << false
                                       << quint16(2) << QStringList {QStringLiteral("open0!")};
}

void tst_ScheduleConfirmation::confirm()
{
    QFETCH(quint16, portBefore);
    QFETCH(quint16, chosen);
    QFETCH(PortSet, unusable);
    QFETCH(bool, success);
    QFETCH(quint16, portAfter);
    QFETCH(QStringList, wire);

    RecordingPort port;
    port.setPortNumber(portBefore);
    port.unusablePorts = unusable;
    Module1 store;
    store.setSwitchOnTime(4, QTime(6, 0));

    // Every slot distinct, with the picker's midnight and equal on and off times among them.
    std::array<QTime, 8> switchOn;
    std::array<QTime, 8> switchOff;
    for (int i = 0; i < 8; ++i) {
        switchOn[i] = QTime(7 + i, i, 30);
        switchOff[i] = QTime(19 + i / 2, 59 - i, 1);
    }
    switchOn[2] = QTime(0, 0);
    switchOff[5] = switchOn[5];

    ScheduleConfirmation confirmation(store, port);
    QCOMPARE(confirmation.confirm(switchOn, switchOff, chosen), success);

    QCOMPARE(port.portNumber(), portAfter);
    QCOMPARE(port.wire, wire);
    for (int channel = 1; channel <= 8; ++channel) {
        QCOMPARE(store.SwitchOnTime(channel), switchOn[channel - 1]);
        QCOMPARE(store.SwitchOffTime(channel), switchOff[channel - 1]);
    }
}

QTEST_GUILESS_MAIN(tst_ScheduleConfirmation)
#include "tst_scheduleconfirmation.moc"
