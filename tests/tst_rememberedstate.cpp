// SPDX-License-Identifier: MIT
#include "ChannelRig.h"
#include "RememberedState.h"

#include <QtTest>

// What a restart with --restore resumes, and the file that keeps it.
class tst_RememberedState : public QObject
{
    Q_OBJECT

private slots:
    void roundTripAndRestore();
    void unusableFile_data();
    void unusableFile();
};

void tst_RememberedState::roundTripAndRestore()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.conf"));
    // A first run remembers what its commands leave behind.
    {
        ChannelRig first;
        RememberedState memory(path);
        first.channels.load();
        first.channels.attachMemory(memory);
        first.enterAutomatic(2, QTime(7, 0), QTime(19, 0));
        first.enterAutomatic(3, QTime(19, 0), QTime(7, 0));
        first.channels.setTimes(5, QTime(6, 30, 15), QTime());
        first.channels.manualSwitch(4);
        first.board.setPortNumber(2);
        first.channels.manualSwitch(6);
    }

    // After a power cut, at noon: the automatic channels as their times give, the manual ones as
    // they were, on the port that was in use.
    ChannelRig second;
    second.channels.load();
    QString problem;
    const auto snapshot = RememberedState(path).load(&problem);
    QVERIFY2(snapshot, qPrintable(problem));
    second.channels.restore(*snapshot, QDateTime(QDate(2026, 3, 10), QTime(12, 0)));

    QCOMPARE(second.board.portNumber(), quint16(2));
    QCOMPARE(second.view.portLabel, QStringLiteral("2"));
    QCOMPARE(second.port.boards[2].outputs(), 0x2a); // channels 2, 4 and 6
    QVERIFY(
        second.channels.AutoMode(2) && second.channels.AutoMode(3) && !second.channels.AutoMode(4));
    QVERIFY(second.view.shownAutomatic[3]);
    QCOMPARE(second.store.SwitchOnTime(5), QTime(6, 30, 15));
    QCOMPARE(second.store.SwitchOffTime(5), QTime(0, 0));
}

void tst_RememberedState::unusableFile_data()
{
    // A file as the program writes it, with channel 3 switching on at 07:00:00 and channel 5
    // automatic from 06:00:00 to 18:00:00, and one thing changed; or a file of its own.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");

    QTest::newRow("cut short") << QByteArray()
                               << QByteArray("version=1\nport=1\n[channel1]\non=07:00:00\n");
    QTest::newRow("a time that is none") << QByteArray("07:00:00") << QByteArray("25:61:00");
    QTest::newRow("a mode that is none")
        << QByteArray("mode=manual") << QByteArray("mode=sometimes");
    QTest::newRow("port out of range") << QByteArray("port=1") << QByteArray("port=7");
    QTest::newRow("binary junk") << QByteArray() << QByteArray("\x00\xff\xfe[\x01=\n", 7);
    QTest::newRow("automatic without a switch-off time")
        << QByteArray("off=18:00:00") << QByteArray("off=");
    QTest::newRow("automatic without a switch-on time")
        << QByteArray("on=06:00:00") << QByteArray("on=");
}

void tst_RememberedState::unusableFile()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);

    QTemporaryDir dir;
    const QString written = dir.filePath(QStringLiteral("written.conf"));
    RememberedState::Snapshot snapshot;
    snapshot.switchOn[3] = QTime(7, 0);
    snapshot.switchOn[5] = QTime(6, 0);
    snapshot.switchOff[5] = QTime(18, 0);
    snapshot.automatic[5] = true;
    QString problem;
    QVERIFY(RememberedState(written).save(snapshot, &problem));
    QVERIFY(RememberedState(written).load(&problem));
    QFile original(written);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray content = original.readAll();
    content = from.isEmpty() ? to : content.replace(content.indexOf(from), from.size(), to);
    // Another file: QSettings keeps what it read of one, and would not notice a change within
    // the same second. Beside it, the copy an earlier start kept.
    const QString damaged = dir.filePath(QStringLiteral("damaged.conf"));
    const QString kept = damaged + QStringLiteral(".damaged");
    for (const auto &[path, bytes] :
        {std::pair(damaged, content), std::pair(kept, QByteArray("older"))}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

    // Refused, kept aside where the problem says, and not touched by what is remembered next.
    RememberedState memory(damaged);
    QVERIFY(!memory.load(&problem));
    QCOMPARE(
        problem, QStringLiteral("fail %1 on rikutud; see on alles nimega %2").arg(damaged, kept));
    QVERIFY(memory.save(RememberedState::Snapshot(), &problem));
    QFile copy(kept);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), content);
    QVERIFY(RememberedState(damaged).load(&problem));
}

QTEST_GUILESS_MAIN(tst_RememberedState)
#include "tst_rememberedstate.moc"
