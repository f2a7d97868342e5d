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
    const auto snapshot = RememberedState(RememberedState::defaultPath()).load(&problem);
    QVERIFY2(snapshot, qPrintable(problem));
    second.channels.restore(*snapshot, QDateTime(QDate(2026, 3, 10), QTime(12, 0)));

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
    // A file as the program writes it, with channel 3 switching on at 07:00:00, and one thing
    // changed; or a file of its own.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");

    QTest::newRow("cut short") << QByteArray()
                               << QByteArray("version=1\nport=1\n[channel1]\non=07:00:00\n");
    QTest::newRow("a time that is none") << QByteArray("07:00:00") << QByteArray("25:61:00");
    QTest::newRow("a mode that is none")
        << QByteArray("mode=manual") << QByteArray("mode=sometimes");
    QTest::newRow("port out of range") << QByteArray("port=1") << QByteArray("port=7");
    QTest::newRow("binary junk") << QByteArray() << QByteArray("\x00\xff\xfe[\x01=\n", 7);
}

void tst_RememberedState::unusableFile()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);

    QTemporaryDir dir;
    const QString written = dir.filePath(QStringLiteral("written.conf"));
    RememberedState::Snapshot snapshot;
    snapshot.switchOn[3] = QTime(7, 0);
    QString problem;
    QVERIFY(RememberedState(written).save(snapshot, &problem));
    QVERIFY(RememberedState(written).load(&problem));
    QFile original(written);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray content = original.readAll();
    content = from.isEmpty() ? to : content.replace(content.indexOf(from), from.size(), to);
    // Another file: QSettings keeps what it read of one, and would not notice a change within
    // the same second.
    const QString damaged = dir.filePath(QStringLiteral("damaged.conf"));
    QFile file(damaged);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();

    QVERIFY(!RememberedState(damaged).load(&problem));
    QVERIFY2(problem.endsWith(QStringLiteral("is damaged")), qPrintable(problem));
}

QTEST_GUILESS_MAIN(tst_RememberedState)
#include "tst_rememberedstate.moc"
