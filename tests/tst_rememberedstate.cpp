#include "ChannelRig.h"
#include "RememberedState.h"

#include <QStandardPaths>
#include <QtTest>

// What a restart with --restore resumes, and the file that keeps it.
class tst_RememberedState : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void isOnAt_data();
    void isOnAt();
    void roundTripAndRestore();
    void unusableFile_data();
    void unusableFile();
};

void tst_RememberedState::initTestCase()
{
    // Keeps the test's files out of the user's configuration folder.
    QStandardPaths::setTestModeEnabled(true);
    QFile::remove(RememberedState::defaultPath());
}

void tst_RememberedState::isOnAt_data()
{
    QTest::addColumn<QTime>("now");
    QTest::addColumn<QTime>("on");
    QTest::addColumn<QTime>("off");
    QTest::addColumn<bool>("state");

    const QTime seven(7, 0);
    const QTime nineteen(19, 0);
    QTest::newRow("before the switch-on time")
        << QTime(6, 59, 59, 999) << seven << nineteen << false;
    QTest::newRow("at the switch-on time") << seven << seven << nineteen << true;
    QTest::newRow("between") << QTime(12, 0) << seven << nineteen << true;
    QTest::newRow("across midnight, evening") << QTime(23, 0) << nineteen << seven << true;
    QTest::newRow("across midnight, after midnight") << QTime(0, 30) << nineteen << seven << true;
    QTest::newRow("equal times: never switched off") << QTime(3, 0) << seven << seven << true;
    QTest::newRow("off time set to midnight since") << QTime(23, 0) << seven << QTime(0, 0) << true;
}

void tst_RememberedState::isOnAt()
{
    QFETCH(QTime, now);
    QFETCH(QTime, on);
    QFETCH(QTime, off);
    QFETCH(bool, state);

    QCOMPARE(RememberedState::isOnAt(now, on, off), state);
}

void tst_RememberedState::roundTripAndRestore()
{
    // A first run remembers what its commands leave behind.
    {
        ChannelRig first;
        RememberedState memory(RememberedState::defaultPath());
        first.channels.load();
        first.channels.attachMemory(memory);
        first.enterAutomatic(2, QTime(7, 0), QTime(19, 0));
        first.enterAutomatic(3, QTime(19, 0), QTime(7, 0));
        first.store.setSwitchOnTime(5, QTime(6, 30, 15));
        first.channels.manualSwitch(4);
        first.board.setPortNumber(2);
        first.channels.manualSwitch(6);
    }

    // After a power cut, at noon: the automatic channels as their times give, the manual ones as
    // they were, on the port that was in use.
    ChannelRig second;
    second.channels.load();
    QString problem;
    const auto snapshot = RememberedState(RememberedState::defaultPath()).load(&problem);
    QVERIFY2(snapshot, qPrintable(problem));
    second.channels.restore(*snapshot, QTime(12, 0));

    QCOMPARE(second.board.portNumber(), quint16(2));
    QCOMPARE(second.view.portLabel, QStringLiteral("2"));
    QCOMPARE(second.port.boards[2].outputs(), 0x2a); // channels 2, 4 and 6
    QVERIFY(
        second.channels.AutoMode(2) && second.channels.AutoMode(3) && !second.channels.AutoMode(4));
    QVERIFY(second.view.shownAutomatic[3]);
    QCOMPARE(second.store.SwitchOnTime(5), QTime(6, 30, 15));
    QVERIFY(!second.store.SwitchOffTime(5).isValid());
}

void tst_RememberedState::unusableFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("problem");

    QTest::newRow("cut short") << QByteArray("version=1\nport=1\n[channel1]\non=07:00:00\n")
                               << "is damaged";
    QTest::newRow("a time that is none")
        << QByteArray("version=1\nport=1\n[channel1]\non=25:61:00\n") << "is damaged";
    QTest::newRow("port out of range") << QByteArray("version=1\nport=7\n") << "is damaged";
    QTest::newRow("binary junk") << QByteArray("\x00\xff\xfe[\x01=\n", 7) << "is damaged";
}

void tst_RememberedState::unusableFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, problem);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    QString reason;
    QVERIFY(!RememberedState(path).load(&reason));
    QVERIFY2(reason.endsWith(problem), qPrintable(reason));
}

QTEST_GUILESS_MAIN(tst_RememberedState)
#include "tst_rememberedstate.moc"
