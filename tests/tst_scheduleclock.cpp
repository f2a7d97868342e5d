// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "WallClock.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The 10 ms tick: the switching times of automatic channels, also those a late tick has crossed,
// and the frame it writes every time; and the local time it reads. The clock labels are checked
// in the window's tests.
class tst_ScheduleClock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void switchingTimes_data();
    void switchingTimes();
    void lateTick_data();
    void lateTick();
    void eachSecond();
    void wallClock_data();
    void wallClock();

private:
    std::unique_ptr<ChannelRig> rig;
};

void tst_ScheduleClock::init()
{
    rig = std::make_unique<ChannelRig>();
    rig->channels.load();
    rig->port.wire.clear();
}

void tst_ScheduleClock::switchingTimes_data()
{
    QTest::addColumn<bool>("onBefore");
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<QTime>("clock");
    QTest::addColumn<bool>("onAfter");

    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("switch-on time") << false << seven << nineteen << QTime(7, 0, 0, 420) << true;
    QTest::newRow("last tick of the switch-off second")
        << true << seven << nineteen << QTime(19, 0, 0, 995) << false;
    QTest::newRow("a second late") << false << seven << nineteen << QTime(7, 0, 1) << false;
    QTest::newRow("equal times: switch-on wins") << false << seven << seven << seven << true;
    // A time handed in with a fraction of a second still means its whole second.
    QTest::newRow("switch-on time with a fraction")
        << false << QTime(7, 0, 0, 999) << nineteen << QTime(7, 0, 0, 1) << true;
    // Midnight is undefined for entering automatic mode, but an automatic channel whose time is
    // later set to midnight switches at the first second of the day.
    QTest::newRow("midnight") << false << QTime(0, 0) << nineteen << QTime(0, 0) << true;
}

void tst_ScheduleClock::switchingTimes()
{
    QFETCH(bool, onBefore);
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(QTime, clock);
    QFETCH(bool, onAfter);

    if (onBefore)
        rig->channels.manualSwitch(6);
    rig->enterAutomatic(6, QTime(1, 0), QTime(2, 0));
    rig->channels.setTimes(6, on, off);
    rig->port.wire.clear();
    rig->now.setTime(clock);

    rig->clock.tick();

    QCOMPARE(rig->channels.RelayState(6), onAfter);
    QCOMPARE(rig->view.shownOn[6], onAfter);
    QVERIFY(rig->channels.AutoMode(6));
    // Every tick writes the whole frame, whether or not anything changed.
    QCOMPARE(rig->port.wire.count(u"tx:a"_s), 1);
    QCOMPARE(rig->port.boards[1].outputs(), onAfter ? 0x20 : 0x00);
    // The store keeps whole seconds, as the dialog shows them again.
    QCOMPARE(rig->store.SwitchOnTime(6).msec(), 0);
}

void tst_ScheduleClock::lateTick_data()
{
    QTest::addColumn<QDateTime>("previous"); // the tick before
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<bool>("onBefore");
    QTest::addColumn<bool>("onAfter");

    // The channel switches on at 07:00:00 and off at 19:00:00.
    const QDate day(2026, 3, 9);
    const auto at = [day](int h, int m, int s, int days = 0) {
        return QDateTime(day.addDays(days), QTime(h, m, s));
    };
    QTest::newRow("a stall across the switch-on time")
        << at(6, 59, 58) << at(7, 0, 3) << false << true;
    QTest::newRow("a stall across both: the last one counts")
        << at(6, 0, 0) << at(20, 0, 0) << true << false;
    QTest::newRow("suspended overnight, across the switch-on time")
        << at(19, 30, 0) << at(7, 30, 0, 1) << false << true;
    QTest::newRow("suspended for three days") << at(12, 0, 0) << at(6, 0, 0, 3) << true << false;
    QTest::newRow("ticks on time, nothing crossed")
        << at(6, 59, 59) << at(6, 59, 59) << false << false;
    QTest::newRow("a time passed before the tick before")
        << at(7, 0, 1) << at(7, 0, 2) << false << false;
    // Set back past the switch-on time: nothing is replayed, though the second now matches
    // again if it is a switching time.
    QTest::newRow("clock set back across a time") << at(7, 0, 5) << at(6, 59, 0) << true << true;
    QTest::newRow("clock set back onto the switch-off time")
        << at(19, 0, 5) << at(19, 0, 0) << true << false;
}

void tst_ScheduleClock::lateTick()
{
    QFETCH(QDateTime, previous);
    QFETCH(QDateTime, now);
    QFETCH(bool, onBefore);
    QFETCH(bool, onAfter);

    if (onBefore)
        rig->channels.manualSwitch(4);
    rig->enterAutomatic(4, QTime(7, 0), QTime(19, 0));
    rig->enterAutomatic(5, QTime(7, 0), QTime(19, 0));
    rig->channels.toggleAutoMode(5);
    rig->now = previous;
    rig->clock.tick();
    QCOMPARE(rig->channels.RelayState(4), onBefore);

    rig->now = now;
    rig->clock.tick();

    QCOMPARE(rig->view.shownOn[4], onAfter);
    QCOMPARE(rig->port.boards[1].outputs(), onAfter ? 0x08 : 0x00);
    // A manual channel is never switched, whatever the clock crossed or met.
    QVERIFY(!rig->channels.RelayState(5));
}

void tst_ScheduleClock::eachSecond()
{
    // Ticks at the start of every second, and so switches right after its second begins.
    ScheduleClock clock(
        rig->channels, [this] { return rig->now; }, ScheduleClock::Pace::EverySecond);
    const auto *timer1 = clock.findChild<QTimer *>(u"Timer1"_s);
    rig->enterAutomatic(2, QTime(7, 0), QTime(19, 0));
    rig->now.setTime(QTime(6, 59, 59, 990));
    clock.start();
    QVERIFY(timer1->remainingTime() <= 10);
    QTRY_VERIFY(rig->port.wire.contains(u"tx:a"_s));
    QVERIFY(!rig->channels.RelayState(2));

    rig->now.setTime(QTime(7, 0, 0, 3));
    QTRY_VERIFY(rig->channels.RelayState(2));
    QCOMPARE(rig->port.boards[1].outputs(), 0x02);
    // Then not before the next second.
    QVERIFY(timer1->remainingTime() > 500);
}

void tst_ScheduleClock::wallClock_data()
{
    QTest::addColumn<QList<QDateTime>>("readings"); // UTC, one after the other
    QTest::addColumn<QStringList>("shown");

    const auto utc = [](int month, int day, int h, int m, int s, int ms = 0) {
        return QDateTime(QDate(2026, month, day), QTime(h, m, s, ms), Qt::UTC);
    };
    QTest::newRow("summer time begins") << QList<QDateTime> {utc(3, 29, 0, 59, 59, 990),
        utc(3, 29, 1, 0, 0)} << QStringList {u"2026-03-29 02:59:59"_s, u"2026-03-29 04:00:00"_s};
    QTest::newRow("summer time ends, the hour again")
        << QList<QDateTime> {utc(10, 25, 0, 59, 59, 5), utc(10, 25, 0, 59, 59, 995),
               utc(10, 25, 1, 0, 0)}
        << QStringList {
               u"2026-10-25 03:59:59"_s, u"2026-10-25 03:59:59"_s, u"2026-10-25 03:00:00"_s};
    QTest::newRow("clock set back before the change")
        << QList<QDateTime> {utc(3, 29, 1, 0, 0, 500), utc(3, 29, 0, 59, 59, 500)}
        << QStringList {u"2026-03-29 04:00:00"_s, u"2026-03-29 02:59:59"_s};
    QTest::newRow("midnight, a new day") << QList<QDateTime> {utc(12, 6, 21, 59, 59, 999),
        utc(12, 6, 22, 0, 0)} << QStringList {u"2026-12-06 23:59:59"_s, u"2026-12-07 00:00:00"_s};
}

void tst_ScheduleClock::wallClock()
{
    QFETCH(QList<QDateTime>, readings);
    QFETCH(QStringList, shown);

    // Tallinn's zone, written out so that no time zone database is needed: summer time from the
    // last Sunday of March, 03:00, to the last Sunday of October, 04:00.
    qputenv("TZ", "EET-2EEST,M3.5.0/3,M10.5.0/4");
    auto reading = readings.cbegin();
    WallClock clock([&reading] { return (reading++)->toMSecsSinceEpoch(); });
    QStringList got;
    while (reading != readings.cend())
        got << clock().toString(u"yyyy-MM-dd HH:mm:ss"_s);
    QCOMPARE(got, shown);
}

QTEST_GUILESS_MAIN(tst_ScheduleClock)
#include "tst_scheduleclock.moc"
