#include "ChannelRig.h"
#include "Indicators.h"

#include <QtTest>

// The tick: clock labels, switching times of automatic channels, one frame every time.
class tst_ScheduleClock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void labelsShowTimeAndDateWhateverTheLocale();
    void switchingTimes_data();
    void switchingTimes();
    void switchingTimeMatchesEveryTickOfItsSecond();
    void midnight();
    void manualSwitchWithinTheSecondIsNotUndone();
    void allEightDueInOneSecondGiveOneFrame();
    void channelsTestedAfterTheTurnOfASecondSeeTheNewSecond();
    void failedFrameKeepsTheTicksChangesAndTheNextTickWritesAgain();
    void timerDrivesTheTicks();

private:
    void enterAutomatic(int channel, QTime on, QTime off);

    std::unique_ptr<ChannelRig> rig;
};

void tst_ScheduleClock::init()
{
    rig = std::make_unique<ChannelRig>();
    rig->channels.load();
    rig->port.clearWire();
}

void tst_ScheduleClock::enterAutomatic(int channel, QTime on, QTime off)
{
    rig->store.setSwitchOnTime(channel, on);
    rig->store.setSwitchOffTime(channel, off);
    rig->channels.toggleAutoMode(channel);
    QCOMPARE(rig->channels.AutoMode(channel), 1);
}

void tst_ScheduleClock::labelsShowTimeAndDateWhateverTheLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Estonian, QLocale::Estonia));
    rig->now = QDateTime(QDate(2027, 1, 2), QTime(23, 4, 5, 678));
    rig->clock.tick();
    QLocale::setDefault(before);

    QCOMPARE(rig->view.clockTime, QStringLiteral("23:04:05"));
    QCOMPARE(rig->view.clockDate, QStringLiteral("01-02-2027"));
}

void tst_ScheduleClock::switchingTimes_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("onBefore");
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<QTime>("clock");
    QTest::addColumn<bool>("onAfter");

    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("switch-on time")
        << true << false << seven << nineteen << QTime(7, 0, 0, 420) << true;
    QTest::newRow("switch-off time")
        << true << true << seven << nineteen << QTime(19, 0, 0, 5) << false;
    QTest::newRow("on time while already on") << true << true << seven << nineteen << seven << true;
    QTest::newRow("between the times")
        << true << false << seven << nineteen << QTime(12, 0) << false;
    QTest::newRow("a second late") << true << false << seven << nineteen << QTime(7, 0, 1) << false;
    QTest::newRow("equal times: switch-on wins")
        << true << false << seven << seven << seven << true;
    QTest::newRow("equal times while on") << true << true << seven << seven << seven << true;
    QTest::newRow("manual channel at its on time")
        << false << false << seven << nineteen << seven << false;
    QTest::newRow("manual channel at its off time")
        << false << true << seven << nineteen << nineteen << true;
}

void tst_ScheduleClock::switchingTimes()
{
    QFETCH(bool, automatic);
    QFETCH(bool, onBefore);
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(QTime, clock);
    QFETCH(bool, onAfter);

    if (onBefore)
        rig->channels.manualSwitch(6);
    rig->store.setSwitchOnTime(6, on);
    rig->store.setSwitchOffTime(6, off);
    if (automatic)
        rig->channels.toggleAutoMode(6);
    rig->port.clearWire();
    rig->now.setTime(clock);

    rig->clock.tick();

    QCOMPARE(rig->channels.RelayState(6), onAfter ? 1 : 0);
    QCOMPARE(rig->view.captions[5], Indicators::switchCaption(onAfter));
    QCOMPARE(rig->view.lampColours[5], Indicators::lampColour(onAfter));
    QCOMPARE(rig->channels.AutoMode(6), automatic ? 1 : 0);
    // Every tick writes the whole frame, whether or not anything changed.
    QCOMPARE(rig->port.wire.count(QStringLiteral("tx:a")), 1);
    QCOMPARE(rig->port.boards[1].outputs(), onAfter ? 0x20 : 0x00);
}

void tst_ScheduleClock::switchingTimeMatchesEveryTickOfItsSecond()
{
    enterAutomatic(2, QTime(7, 0), QTime(8, 0));
    for (int msec : {0, 10, 500, 990}) {
        rig->now.setTime(QTime(8, 0, 0, msec));
        rig->clock.tick();
        QCOMPARE(rig->channels.RelayState(2), 0);
        rig->now.setTime(QTime(7, 0, 0, msec));
        rig->clock.tick();
        QCOMPARE(rig->channels.RelayState(2), 1);
    }
}

void tst_ScheduleClock::midnight()
{
    // Midnight counts as undefined for entering automatic mode, but a channel already automatic
    // whose time is later set to midnight switches at the first second of the day.
    enterAutomatic(2, QTime(6, 0), QTime(23, 0));
    rig->store.setSwitchOnTime(2, QTime(0, 0));
    rig->now = QDateTime(QDate(2026, 3, 9), QTime(23, 59, 59, 995));
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(2), 0);
    QCOMPARE(rig->view.clockDate, QStringLiteral("03-09-2026"));

    rig->now = QDateTime(QDate(2026, 3, 10), QTime(0, 0));
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(2), 1);
    QCOMPARE(rig->view.clockTime, QStringLiteral("00:00:00"));
    QCOMPARE(rig->view.clockDate, QStringLiteral("03-10-2026"));
}

void tst_ScheduleClock::manualSwitchWithinTheSecondIsNotUndone()
{
    enterAutomatic(3, QTime(7, 0), QTime(8, 0));
    rig->now.setTime(QTime(7, 0, 0, 100));
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(3), 1);

    rig->channels.manualSwitch(3);
    rig->now.setTime(QTime(7, 0, 0, 110));
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(3), 0);
    QCOMPARE(rig->port.boards[1].outputs(), 0x00);
}

void tst_ScheduleClock::allEightDueInOneSecondGiveOneFrame()
{
    for (int channel = 1; channel <= 8; ++channel)
        enterAutomatic(channel, QTime(18, 30, 15), QTime(23, 0));
    rig->port.clearWire();
    rig->now.setTime(QTime(18, 30, 15, 250));

    rig->clock.tick();

    QCOMPARE(rig->port.wire.count(QStringLiteral("open1")), 1);
    QCOMPARE(rig->port.boards[1].outputs(), 0xff);
    for (int channel = 1; channel <= 8; ++channel)
        QCOMPARE(rig->view.captions[channel - 1], QStringLiteral("V"));
}

void tst_ScheduleClock::channelsTestedAfterTheTurnOfASecondSeeTheNewSecond()
{
    enterAutomatic(1, QTime(10, 0, 1), QTime(23, 0));
    enterAutomatic(8, QTime(10, 0, 1), QTime(23, 0));
    // The clock turns to the next second while the tick is under way.
    int readings = 0;
    ScheduleClock clock(rig->channels, rig->store, rig->view, [&] {
        return QDateTime(
            QDate(2026, 3, 9), ++readings <= 3 ? QTime(10, 0, 0, 999) : QTime(10, 0, 1));
    });

    clock.tick();

    QCOMPARE(rig->channels.RelayState(1), 0);
    QCOMPARE(rig->channels.RelayState(8), 1);
}

void tst_ScheduleClock::failedFrameKeepsTheTicksChangesAndTheNextTickWritesAgain()
{
    enterAutomatic(4, QTime(9, 0), QTime(10, 0));
    rig->port.unusablePorts << 1;
    rig->now.setTime(QTime(9, 0));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(4), 1);
    QCOMPARE(rig->view.lampColours[3], Indicators::kLampOn);
    QCOMPARE(rig->view.clockTime, QStringLiteral("09:00:00"));
    QCOMPARE(rig->port.boards[1].outputs(), 0x00);

    // The adapter is back: the next tick latches the state the window shows.
    rig->port.unusablePorts.clear();
    rig->now.setTime(QTime(9, 0, 0, 10));
    rig->clock.tick();
    QCOMPARE(rig->port.boards[1].outputs(), 0x08);
}

void tst_ScheduleClock::timerDrivesTheTicks()
{
    rig->clock.start();
    QTRY_VERIFY_WITH_TIMEOUT(rig->port.boards[1].latches() >= 5, 2000);
    QCOMPARE(rig->view.clockTime, QStringLiteral("12:00:00"));
}

QTEST_GUILESS_MAIN(tst_ScheduleClock)
#include "tst_scheduleclock.moc"
