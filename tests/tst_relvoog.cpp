// SPDX-License-Identifier: MIT
#include "DeviceClaim.h"
#include "Files.h"
#include "OpenWatch.h"
#include "PseudoTerminal.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;

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
    void damagedState();
    void secondCopy_data();
    void secondCopy();
    void quitDuringAFrame_data();
    void quitDuringAFrame();

private:
    // On ports 1 and 2 of m_ports, unless the arguments name port 1. faults: the virtual board's
    // faults from the start, as VIRTUALBOARD_FAULTS takes them. The program speaks English, unless
    // another locale is given.
    void start(QProcess &program, const QStringList &arguments, const QString &faults = {},
        const QString &locale = u"en_US.UTF-8"_s);

    PseudoTerminal m_ports[3];
    QTemporaryDir m_home;
};

void tst_Relvoog::start(
    QProcess &program, const QStringList &arguments, const QString &faults, const QString &locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!faults.isEmpty())
        environment.insert(u"VIRTUALBOARD_FAULTS"_s, faults);
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(u"LANG"_s, locale);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"XDG_CONFIG_HOME"_s, m_home.filePath(u"config"_s));
    environment.insert(u"XDG_STATE_HOME"_s, m_home.filePath(u"state"_s));
    program.setProcessEnvironment(environment);
    const QStringList ports {u"--port1"_s, m_ports[0].slave(), u"--port2"_s, m_ports[1].slave()};
    program.start(QStringLiteral(RELVOOG_PROGRAM),
        (arguments.contains(u"--port1"_s) ? QStringList() : ports) + arguments);
    QVERIFY(program.waitForStarted());
}

void tst_Relvoog::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");

    const QString english = u"en_US.UTF-8"_s;
    QTest::newRow("--help") << QStringList {u"--help"_s} << english << 0
                            << u"Usage: relvoog [options]"_s << QString();
    QTest::newRow("--help in the C locale") << QStringList {u"--help"_s} << u"C"_s << 0
                                            << u"Kasutamine: relvoog [võtmed]"_s << QString();
    QTest::newRow("--language en in the C locale")
        << QStringList {u"--language"_s, u"en"_s, u"--help"_s} << u"C"_s << 0
        << u"The device of port 1 (default"_s << QString();
    QTest::newRow("--version") << QStringList {u"--version"_s} << english << 0
                               << QStringLiteral("relvoog " RELVOOG_VERSION) << QString();
    QTest::newRow("--help-all") << QStringList {u"--help-all"_s} << english << 2 << QString()
                                << u"Unknown option 'help-all'."_s;
    QTest::newRow("--config that is not there")
        << QStringList {u"--config"_s, u"/nonexistent/relvoog.conf"_s} << english << 2 << QString()
        << u"/nonexistent/relvoog.conf does not exist"_s;
    QTest::newRow("a language not there")
        << QStringList {u"--language"_s, u"de"_s} << english << 2 << QString()
        << u"The language must be et or en, not 'de'."_s;
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
    start(program, arguments, {}, locale);
    // A window would keep it running.
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardOutput()).contains(output));
    QVERIFY(QString::fromLocal8Bit(program.readAllStandardError()).contains(errors));
    QCOMPARE(port1.openings() + port2.openings(), 0);
}

void tst_Relvoog::damagedState()
{
    // Named by --state: the default names are the options' own (tst_startoptions).
    const QString path = m_home.filePath(u"mine.conf"_s);
    const QString kept = path + u".damaged"_s;
    const QByteArray damaged("[channel1]\non=07:00:00\n");
    QVERIFY(writeFile(path, damaged));

    QProcess program;
    start(program, {u"--restore"_s, u"--state"_s, path});
    // Told where the copy is, which holds what the file held; the new file is the program's.
    QByteArray errors;
    QTRY_VERIFY((errors += program.readAllStandardError()).contains(kept.toLocal8Bit()));
    QTRY_VERIFY(QFileInfo::exists(path));
    QCOMPARE(readFile(kept), damaged);
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
}

void tst_Relvoog::secondCopy_data()
{
    // The board this test drives, as a first copy would: none, port 1's, or port 2's, where the
    // start's all-off goes when port 1 is missing. Every signal that ends the program is met
    // where the service meets it (tst_relvoogd), as both take them alike.
    QTest::addColumn<int>("claimedPort");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("told"); // on stderr, before the signal

    QTest::newRow("same board") << 1 << 3 << QByteArray("driven by another copy");
    QTest::newRow("same board after the fall-back")
        << 2 << 0 << QByteArray("driven by another copy");
    QTest::newRow("another board") << 0 << 0 << QByteArray();
}

void tst_Relvoog::secondCopy()
{
    QFETCH(int, claimedPort);
    QFETCH(int, status);
    QFETCH(QByteArray, told);

    const QString claimed = m_ports[claimedPort].slave();
    DeviceClaim claim;
    if (claimedPort)
        QVERIFY(claim.claim(claimed) == DeviceClaim::Result::Claimed);
    const QString port1
        = claimedPort == 2 ? u"/nonexistent/relvoog-port"_s : m_ports[claimedPort].slave();
    OpenWatch board(claimed);
    QProcess program;
    start(program, {u"--port1"_s, port1, u"--port2"_s, m_ports[2].slave()});

    QByteArray errors;
    if (claimedPort)
        QTRY_VERIFY((errors += program.readAllStandardError()).contains(told));
    else
        QTRY_VERIFY(board.openings() > 0);
    // Ends as the quit button does; a second copy ends after its message, having written nothing.
    ::kill(pid_t(program.processId()), SIGTERM);
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
    QTest::newRow("a slow adapter") << u"delay 20000"_s << true;
    // The adapter does not answer for a minute: the program ends all the same.
    QTest::newRow("a hung adapter") << u"hang 60000"_s << false;
}

void tst_Relvoog::quitDuringAFrame()
{
    QFETCH(QString, fault);
    QFETCH(bool, latched);

    OpenWatch board(m_ports[0].slave());
    m_ports[0].received();
    QProcess program;
    start(program, {}, m_ports[0].slave() + u' ' + fault);
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
