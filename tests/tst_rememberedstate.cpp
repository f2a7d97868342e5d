// SPDX-License-Identifier: MIT
#include "Files.h"
#include "RememberedState.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// The file that keeps what a restart with --restore resumes, when it cannot be trusted.
class tst_RememberedState : public QObject
{
    Q_OBJECT

private slots:
    void unusableFile_data();
    void unusableFile();
};

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
    const QString written = dir.filePath(u"written.conf"_s);
    RememberedState::Snapshot snapshot;
    snapshot.switchOn[3] = QTime(7, 0);
    snapshot.switchOn[5] = QTime(6, 0);
    snapshot.switchOff[5] = QTime(18, 0);
    snapshot.automatic[5] = true;
    QString problem;
    QVERIFY(RememberedState(written).save(snapshot, &problem));
    QVERIFY(RememberedState(written).load(&problem));
    QByteArray content = readFile(written);
    content = from.isEmpty() ? to : content.replace(content.indexOf(from), from.size(), to);
    // Another file: QSettings keeps what it read of one, and would not notice a change within
    // the same second. Beside it, the copy an earlier start kept.
    const QString damaged = dir.filePath(u"damaged.conf"_s);
    const QString kept = damaged + u".damaged"_s;
    QVERIFY(writeFile(damaged, content) && writeFile(kept, "older"));

    // Refused, kept aside where the problem says, and not touched by what is remembered next.
    RememberedState memory(damaged);
    QVERIFY(!memory.load(&problem));
    QCOMPARE(problem, u"fail %1 on rikutud; see on alles nimega %2"_s.arg(damaged, kept));
    QVERIFY(memory.save(RememberedState::Snapshot(), &problem));
    QCOMPARE(readFile(kept), content);
    QVERIFY(RememberedState(damaged).load(&problem));
}

QTEST_GUILESS_MAIN(tst_RememberedState)
#include "tst_rememberedstate.moc"
