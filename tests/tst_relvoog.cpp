// SPDX-License-Identifier: MIT
#include "DeviceClaim.h"
#include "OpenWatch.h"
#include "PseudoTerminal.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The program as its users start it: its options, a damaged remembered state, a second copy on
// the same board, and the signals that end it. Its ports are always given, on pseudo-terminals,
// and its settings and state folders are its own, so that it never reaches a machine's serial
// port nor another run's files.
class tst_Relvoog : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void damagedState_data();
    void damagedState();
    void secondCopy_data();
    void secondCopy();
    void quitDuringAFrame_data();
    void quitDuringAFrame();

private:
    // faults: the virtual board's faults from the start, as VIRTUALBOARD_FAULTS takes them. The
    // program speaks English, unless another locale is given.
    void start(QProcess &program, const QStringList &arguments, const QString &faults = {},
        const QString &locale = QStringLiteral("en_US.UTF-8"));

    PseudoTerminal m_ports[3];
    QTemporaryDir m_home;
};

void tst_Relvoog::start(
    QProcess &program, const QStringList &arguments, const QString &faults, const QString &locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!faults.isEmpty())
        environment.insert(QStringLiteral("VIRTUALBOARD_FAULTS"), faults);
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LANG"), locale);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), m_home.filePath(QStringLiteral("state")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(RELVOOG_PROGRAM), arguments);
    QVERIFY(program.waitForStarted());
}

void tst_Relvoog::options_data()
{
    QTest::addColumn<QStringList>("arguments"); // after both ports on pseudo-terminals
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");

    const QString english = QStringLiteral("en_US.UTF-8");
    const QString c = QStringLiteral("C");
    QTest::newRow("--help") << QStringList {QStringLiteral("--help")} << english << 0
                            << QStringLiteral("Usage: relvoog [options]") << QString();
    QTest::newRow("--help in the C locale")
        << QStringList {QStringLiteral("--help")} << c << 0
        << QStringLiteral("Kasutamine: relvoog [võtmed]") << QString();
    QTest::newRow("--language en in the C locale")
        << QStringList {QStringLiteral("--language"), QStringLiteral("en"),
               QStringLiteral("--help")}
        << c << 0 << QStringLiteral("The device of port 1 (default") << QString();
    QTest::newRow("--version") << QStringList {QStringLiteral("--version")} << english << 0
                               << QStringLiteral("relvoog " RELVOOG_VERSION) << QString();
    QTest::newRow("unknown option") << QStringList {QStringLiteral("--prot1")} << english << 2
                                    << QString() << QStringLiteral("Unknown option 'prot1'.");
    QTest::newRow("unknown option in the C locale")
        << QStringList {QStringLiteral("--prot1")} << c << 2 << QString()
        << QStringLiteral("Tundmatu võti 'prot1'.");
    QTest::newRow("missing value") << QStringList {QStringLiteral("--port1")} << english << 2
                                   << QString() << QStringLiteral("Missing value after '--port1'.");
    QTest::newRow("--help-all") << QStringList {QStringLiteral("--help-all")} << english << 2
                                << QString() << QStringLiteral("Unknown option 'help-all'.");
    QTest::newRow("--config that is not there")
        << QStringList {QStringLiteral("--config"), QStringLiteral("/nonexistent/relvoog.conf")}
        << english << 2 << QString() << QStringLiteral("/nonexistent/relvoog.conf does not exist");
    QTest::newRow("a language not there")
        << QStringList {QStringLiteral("--language"), QStringLiteral("de")} << english << 2
        << QString() << QStringLiteral("The language must be et or en, not 'de'.");
}

void tst_Relvoog::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, locale);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, errors);

    OpenWatch port1(m_ports[0].slave());
    OpenWatch port2(m_ports[1].slave());
    QProcess program;
    start(program,
        QStringList {QStringLiteral("--port1"), m_ports[0].slave(), QStringLiteral("--port2"),
            m_ports[1].slave()}
            + arguments,
        {}, locale);
    // A window would keep it running.
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(output));
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardError()).contains(errors));
    QCOMPARE(port1.openings() + port2.openings(), 0);
}

void tst_Relvoog::damagedState_data()
{
    QTest::addColumn<bool>("stateOption"); // --state names the file

    QTest::newRow("the file of port 1's device") << false;
    QTest::newRow("--state") << true;
}

void tst_Relvoog::damagedState()
{
    QFETCH(bool, stateOption);

    const QString device = m_ports[0].slave();
    // /dev/pts/N, as the state folder names it.
    const QString path = m_home.filePath(stateOption ? QStringLiteral("mine.conf")
                                                     : QStringLiteral("state/relvoog/pts%2F")
                + QFileInfo(device).fileName() + QStringLiteral(".conf"));
    const QString kept = path + QStringLiteral(".damaged");
    const QByteArray damaged("[channel1]\non=07:00:00\n");
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
    file.close();
    QStringList arguments {QStringLiteral("--port1"), device, QStringLiteral("--port2"),
        m_ports[1].slave(), QStringLiteral("--restore")};
    if (stateOption)
        arguments << QStringLiteral("--state") << path;

    QProcess program;
    start(program, arguments);
    // Told where the copy is, which holds what the file held; the new file is the program's.
    QByteArray errors;
    QTRY_VERIFY((errors += program.readAllStandardError()).contains(kept.toLocal8Bit()));
    QTRY_VERIFY(QFileInfo::exists(path));
    QFile copy(kept);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), damaged);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
}

void tst_Relvoog::secondCopy_data()
{
    // The board this test drives, as a first copy would: none, port 1's, or port 2's, where the
    // start's all-off goes when port 1 is missing.
    QTest::addColumn<int>("claimedPort");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("told"); // on stderr, before the signal

    QTest::newRow("same board, then SIGTERM")
        << 1 << SIGTERM << 3 << QByteArray("driven by another copy");
    QTest::newRow("same board after the fall-back")
        << 2 << SIGTERM << 0 << QByteArray("driven by another copy");
    QTest::newRow("another board, then SIGTERM") << 0 << SIGTERM << 0 << QByteArray();
    QTest::newRow("another board, then SIGINT") << 0 << SIGINT << 0 << QByteArray();
    QTest::newRow("another board, then SIGHUP") << 0 << SIGHUP << 0 << QByteArray();
}

void tst_Relvoog::secondCopy()
{
    QFETCH(int, claimedPort);
    QFETCH(int, signal);
    QFETCH(int, status);
    QFETCH(QByteArray, told);

    const QString claimed = m_ports[claimedPort].slave();
    DeviceClaim claim;
    if (claimedPort)
        QVERIFY(claim.claim(claimed) == DeviceClaim::Result::Claimed);
    const QString port1 = claimedPort == 2 ? QStringLiteral("/nonexistent/relvoog-port")
                                           : m_ports[claimedPort].slave();
    OpenWatch board(claimed);
    QProcess program;
    start(
        program, {QStringLiteral("--port1"), port1, QStringLiteral("--port2"), m_ports[2].slave()});

    QByteArray errors;
    if (claimedPort)
        QTRY_VERIFY((errors += program.readAllStandardError()).contains(told));
    else
        QTRY_VERIFY(board.openings() > 0);
    // Ends as the quit button does; a second copy ends after its message, having written nothing.
    ::kill(pid_t(program.processId()), signal);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    if (claimedPort) {
        QVERIFY(errors.contains(claimed.toLocal8Bit()));
        QCOMPARE(board.openings(), 0);
    }
}

void tst_Relvoog::quitDuringAFrame_data()
{
    QTest::addColumn<QString>("fault"); // of port 1, from the start
    QTest::addColumn<bool>("latched"); // the start's all-off frame reaches the board

    // Each line request takes 20 ms, so the start's frame is under way when the signal comes:
    // it is finished, and the board latches whole states.
    QTest::newRow("a slow adapter") << QStringLiteral("delay 20000") << true;
    // The adapter does not answer for a minute: the program ends all the same.
    QTest::newRow("a hung adapter") << QStringLiteral("hang 60000") << false;
}

void tst_Relvoog::quitDuringAFrame()
{
    QFETCH(QString, fault);
    QFETCH(bool, latched);

    OpenWatch board(m_ports[0].slave());
    m_ports[0].received();
    QProcess program;
    start(program,
        {QStringLiteral("--port1"), m_ports[0].slave(), QStringLiteral("--port2"),
            m_ports[1].slave()},
        m_ports[0].slave() + u' ' + fault);
    QTRY_VERIFY(board.openings() > 0);
    QTest::qWait(50);

    QElapsedTimer quitting;
    quitting.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(quitting.elapsed() < 5000);
    QCOMPARE(m_ports[0].received().contains('a'), latched);
}

QTEST_GUILESS_MAIN(tst_Relvoog)
#include "tst_relvoog.moc"
