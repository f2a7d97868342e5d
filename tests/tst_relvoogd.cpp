// SPDX-License-Identifier: MIT
#include "ChannelControl.h"
#include "Files.h"
#include "LanguageChoice.h"
#include "OpenWatch.h"
#include "PrivateBus.h"
#include "PseudoTerminal.h"
#include "Soon.h"
#include "TraceLog.h"
#include "VirtualBoard.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// relvoogd and relvoogctl as their users run them: on a D-Bus daemon of the test's own, with
// ports 1 and 2 on pseudo-terminals that the virtual board, preloaded into the service, drives.
// Settings, state and the board's trace are in a folder of the test's own. Both programs
// speak English here.
class tst_Relvoogd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void commands_data();
    void commands();
    void monitor_data();
    void monitor();
    void supersededPortChange();
    void restart_data();
    void restart();
    void refusals_data();
    void refusals();

private:
    // For relvoogctl, or with the service's own settings; on the test's bus unless another is
    // given.
    QProcessEnvironment environment(bool service = false, const QString &bus = {}) const;
    // On the pseudo-terminals from firstPty on; waits until it serves, unless it is to refuse.
    void startService(
        QProcess &service, const QStringList &arguments = {}, bool serves = true, int firstPty = 0);
    void stopService(QProcess &service, int signal = SIGTERM);
    // A relvoogctl command, or "hold N": the test holds port N as another program would.
    // relvoogctl's exit status, with what it printed in said.
    int run(const QString &command, QString *said = nullptr, const QString &bus = {});
    // The outputs the port's board latched last, "00100000" for channel 3 on; the board's trace is
    // written out at the end of each frame.
    QString latched(int port) const;

    const LanguageChoice m_english {LanguageChoice::Language::English};
    PrivateBus m_bus;
    PseudoTerminal m_ptys[4];
    QTemporaryDir m_folder;
    QProcess m_service;
    int m_held = -1;
};

void tst_Relvoogd::initTestCase()
{
    if (m_bus.address().isEmpty())
        QSKIP("dbus-daemon could not be started; it is in Debian's dbus-daemon package");
    QVERIFY(m_folder.isValid());
}

void tst_Relvoogd::cleanup()
{
    stopService(m_service);
    m_service.setProcessEnvironment(QProcessEnvironment());
    if (m_held >= 0)
        ::close(m_held);
    m_held = -1;
    // Each case starts with no remembered state, no settings and no trace.
    QVERIFY(QDir(m_folder.path()).removeRecursively() && QDir().mkpath(m_folder.path()));
    for (PseudoTerminal &pty : m_ptys)
        pty.received();
}

QProcessEnvironment tst_Relvoogd::environment(bool service, const QString &bus) const
{
    QProcessEnvironment environment = m_bus.environment();
    if (!bus.isEmpty())
        environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus);
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(u"LANG"_s, u"en_US.UTF-8"_s);
    if (!service)
        return environment;
    // STATE_DIRECTORY: where systemd has a system service keep its state. A sanitized service has
    // its runtime loaded after the board; that is fine here.
    for (const auto &[name, value] : {std::pair {"XDG_CONFIG_HOME", m_folder.filePath(u"config"_s)},
             {"XDG_STATE_HOME", m_folder.filePath(u"state"_s)},
             {"STATE_DIRECTORY", m_folder.path()}, {"LD_PRELOAD", VirtualBoard::libraryPath()},
             {"ASAN_OPTIONS", u"verify_asan_link_order=0"_s},
             {"VIRTUALBOARD_TRACE", m_folder.filePath(u"trace"_s)}})
        environment.insert(QString::fromLatin1(name), value);
    return environment;
}

void tst_Relvoogd::startService(
    QProcess &service, const QStringList &arguments, bool serves, int firstPty)
{
    if (service.processEnvironment().isEmpty())
        service.setProcessEnvironment(environment(true));
    // What it logs tells when it serves.
    service.setReadChannel(QProcess::StandardError);
    // A test that is killed takes it along, so that it holds no board or bus name afterwards.
    service.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    service.start(QStringLiteral(RELVOOGD),
        QStringList {
            u"--port1"_s, m_ptys[firstPty].slave(), u"--port2"_s, m_ptys[firstPty + 1].slave()}
            + arguments);
    QVERIFY(service.waitForStarted());
    if (serves)
        QVERIFY(soon([&service] {
            return service.peek(service.bytesAvailable())
                .contains("relvoogd " RELVOOG_VERSION " runs");
        }));
}

void tst_Relvoogd::stopService(QProcess &service, int signal)
{
    if (service.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(service.processId()), signal);
    // One left running would hold its board and the bus name for the cases after it.
    if (!service.waitForFinished(5000)) {
        service.kill();
        service.waitForFinished();
        QFAIL("relvoogd did not end on its signal");
    }
}

int tst_Relvoogd::run(const QString &command, QString *said, const QString &bus)
{
    if (command.startsWith(u"hold "_s)) {
        const QString device = m_ptys[command.back().digitValue() - 1].slave();
        m_held = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY);
        return m_held >= 0 && ::flock(m_held, LOCK_EX) == 0 ? 0 : -1;
    }
    QProcess client;
    client.setProcessEnvironment(environment(false, bus));
    client.start(QStringLiteral(RELVOOGCTL), command.split(QLatin1Char(' ')));
    // No answer in time is a status of its own, well within this.
    if (!client.waitForFinished(10000))
        return -1;
    if (said)
        *said = QString::fromUtf8(client.readAllStandardOutput() + client.readAllStandardError());
    return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

QString tst_Relvoogd::latched(int port) const
{
    const QList<unsigned> latches
        = TraceLog(m_folder.filePath(u"trace"_s)).latches(m_ptys[port - 1].slave());
    return latches.isEmpty() ? QString() : VirtualBoard::outputWord(latches.constLast());
}

void tst_Relvoogd::commands_data()
{
    QTest::addColumn<QString>("commands"); // separated by "; ", all but the last succeed
    QTest::addColumn<int>("status"); // of the last
    QTest::addColumn<QString>("said"); // by the last
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("word"); // that the port's board latches at the end

    const QString refusal = ChannelControl::refusalText();
    const char *allOff = "00000000";
    QTest::newRow("on, off") << "on 3; on 4; off 3" << 0 << "" << 1 << "00010000";
    QTest::newRow("toggle") << "on 1; toggle 1; toggle 2" << 0 << "" << 1 << "01000000";
    QTest::newRow("all-off ends automatic mode, keeps the times")
        << "times 2 07:00:00 08:00:00; auto 2; on 1; all-off; status" << 0
        << "channel 2  off  manual     on 07:00:00  off 08:00:00" << 1 << allOff;
    QTest::newRow("times, then automatic mode")
        << "times 4 07:00:00 08:00:00; auto 4; status --json" << 0
        << R"({"automatic":true,"channel":4,"on":false,"switchOff":"08:00:00","switchOn":"07:00:00"})"
        << 1 << allOff;
    // Midnight, which is no time, is refused the same way (tst_channelcontrol toggleAutoMode).
    QTest::newRow("automatic without times") << "auto 4" << 1 << refusal << 1 << allOff;
    QTest::newRow("channel 9") << "on 9" << 2 << "no channel 9" << 1 << allOff;
    QTest::newRow("channel 0") << "toggle 0" << 2 << "no channel 0" << 1 << allOff;
    QTest::newRow("malformed time")
        << "times 1 7:00:00 08:00:00" << 2 << "'7:00:00' is not a time of day" << 1 << allOff;
    QTest::newRow("a time with a line in it")
        << "times 1 07:00:00\nforged 08:00:00" << 2 << "is not a time of day" << 1 << allOff;
    QTest::newRow("port 2") << "port 2; on 6" << 0 << "" << 2 << "00000100";
    QTest::newRow("port 2 held by another program")
        << "hold 2; port 2" << 1 << "Device or resource busy" << 1 << allOff;
    QTest::newRow("port 3") << "port 3" << 2 << "no port 3" << 1 << allOff;
}

void tst_Relvoogd::commands()
{
    QFETCH(QString, commands);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(int, port);
    QFETCH(QString, word);

    startService(m_service);
    const QStringList lines = commands.split(u"; "_s);
    QString answer;
    for (const QString &command : lines.mid(0, lines.size() - 1))
        QCOMPARE(run(command, &answer), 0);
    QCOMPARE(run(lines.constLast(), &answer), status);
    QVERIFY2(answer.contains(said), qPrintable(answer));
    soon([&] { return latched(port) == word; });
    QCOMPARE(latched(port), word);
    // Whatever a client sends, each line in the journal is the service's own.
    stopService(m_service);
    for (const QByteArray &line : m_service.readAllStandardError().split('\n'))
        QVERIFY2(line.isEmpty() || line.startsWith("relvoog."), line.constData());
}

void tst_Relvoogd::monitor_data()
{
    // After each step the monitor prints its line, before the next step: a relvoogctl command,
    // "hold 1", or "stop", which ends the service.
    QTest::addColumn<QString>("options");
    QTest::addColumn<QString>("steps"); // separated by "|"
    QTest::addColumn<QString>("lines"); // one a step, separated by "|"; "%2" is port 2's device

    QTest::newRow("changes") << ""
                             << "on 2|times 2 07:00:00 08:00:00|port 2|stop"
                             << "channel 2  on|channel 2  on 07:00:00  off 08:00:00|"
                                "port 2     %2|relvoogd   stopped";
    QTest::newRow("changes as JSON") << "--json"
                                     << "on 2|port 2"
                                     << R"({"channel":2,"event":"RelayStateChanged","on":true}|)"
                                        R"({"device":"%2","event":"PortChanged","port":2})";
    QTest::newRow("a failing port and its end")
        << ""
        << "hold 1|let go"
        << "port 1     failing: |port 1     reaches the board again";
}

void tst_Relvoogd::monitor()
{
    QFETCH(QString, options);
    QFETCH(QString, steps);
    QFETCH(QString, lines);

    startService(m_service);
    QProcess monitor;
    monitor.setProcessEnvironment(environment());
    monitor.setReadChannel(QProcess::StandardError);
    monitor.start(QStringLiteral(RELVOOGCTL),
        (u"monitor "_s + options).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QVERIFY(soon([&monitor] {
        return monitor.peek(monitor.bytesAvailable()).contains("Following relvoogd");
    }));
    QByteArray output;
    const QStringList expected = lines.replace(u"%2"_s, m_ptys[1].slave()).split(QLatin1Char('|'));
    const QStringList actions = steps.split(QLatin1Char('|'));
    for (int i = 0; i < actions.size(); ++i) {
        if (actions[i] == u"stop"_s)
            stopService(m_service);
        else if (actions[i] == u"let go"_s)
            ::close(std::exchange(m_held, -1));
        else
            QCOMPARE(run(actions[i]), 0);
        const QString line = expected.value(i);
        QVERIFY2(soon([&] {
            return (output += monitor.readAllStandardOutput()).contains(line.toUtf8());
        }),
            output);
    }
    ::kill(pid_t(monitor.processId()), SIGINT);
    QVERIFY(monitor.waitForFinished(5000));
}

void tst_Relvoogd::supersededPortChange()
{
    // Port 2's adapter takes its time to open, so that a second change comes during the trial.
    QProcessEnvironment environment = this->environment(true);
    environment.insert(u"VIRTUALBOARD_FAULTS"_s, m_ptys[1].slave() + u" delay 0 300000"_s);
    m_service.setProcessEnvironment(environment);
    startService(m_service);
    QProcess first;
    first.setProcessEnvironment(this->environment());
    first.start(QStringLiteral(RELVOOGCTL), {u"port"_s, u"2"_s});
    QVERIFY(soon(
        [this] { return m_service.peek(m_service.bytesAvailable()).contains("ChangePort(2)"); }));
    QCOMPARE(run(u"port 1"_s), 0);
    // Told at once, rather than left to wait for a trial that will never finish.
    QVERIFY(first.waitForFinished(1000));
    QCOMPARE(first.exitCode(), 1);
    QVERIFY(first.readAllStandardError().contains("A newer port change took this one's place."));
    QString status;
    QCOMPARE(run(u"status"_s, &status), 0);
    QVERIFY2(status.contains(u"port 1     "_s + m_ptys[0].slave()), qPrintable(status));
}

void tst_Relvoogd::restart_data()
{
    QTest::addColumn<int>("signal");

    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void tst_Relvoogd::restart()
{
    QFETCH(int, signal);

    // Channel 5's times put now between them, away from midnight, which is no time.
    const QTime now = QTime::currentTime();
    const auto time = [](QTime time) {
        return (time == QTime(0, 0) ? time.addSecs(1) : time).toString(u"HH:mm:ss"_s);
    };
    startService(m_service);
    for (const QString &command :
        {u"times 5 %1 %2"_s.arg(time(now.addSecs(-3600)), time(now.addSecs(3600))), u"auto 5"_s,
            u"on 6"_s, u"port 2"_s})
        QCOMPARE(run(command), 0);
    // Automatic, channel 5 keeps its state until the tick meets one of its times.
    soon([&] { return latched(2) == u"00000100"_s; });
    QCOMPARE(latched(2), u"00000100"_s);
    // The journal tells who asked for what.
    const QRegularExpression logged(
        QStringLiteral(R"(SetAutomatic\(5, true\) from :1\.\d+ \(uid %1, pid \d+\)\n)")
            .arg(::getuid()));
    QString log;
    QVERIFY(soon([&] {
        return logged.match(log += QString::fromLocal8Bit(m_service.readAllStandardError()))
            .hasMatch();
    }));

    stopService(m_service, signal);
    QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_service.exitCode(), 0);
    const QString trace = m_folder.filePath(u"trace"_s);
    const qsizetype before = TraceLog(trace).latches(m_ptys[1].slave()).size();
    startService(m_service);
    // Resumed on port 2, with channel 5 in the state its times give for now.
    soon([&] { return latched(2) == u"00001100"_s; });
    QCOMPARE(latched(2), u"00001100"_s);
    QString status;
    QCOMPARE(run(u"status"_s, &status), 0);
    QVERIFY2(status.contains(u"channel 5  on   automatic"_s), qPrintable(status));
    // And rewritten every 10 ms with nothing asked of it: twenty frames in a fraction of a
    // second, where one a second would take twenty.
    QVERIFY(soon([&] { return TraceLog(trace).latches(m_ptys[1].slave()).size() >= before + 20; }));
}

void tst_Relvoogd::refusals_data()
{
    // "relvoogd" for a second service, with "--config" for an unreadable settings file; else
    // relvoogctl's command.
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("first"); // a service already running: 0 none, 1 same board, 2 other
    QTest::addColumn<bool>("noBus"); // the bus is a socket in the test's folder, where none is
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told"); // the one line; relvoogctl's starts with it

    // A malformed bus address fails as a missing bus does, as Qt's own connection tells it.
    QTest::newRow("the same board") << "relvoogd" << 1 << false << 3 << "driven by another copy";
    QTest::newRow("another board, the same bus")
        << "relvoogd" << 2 << false << 4 << "relvoogd (process ";
    QTest::newRow("settings that cannot be read")
        << "relvoogd --config" << 0 << false << 2 << "unreadable.conf cannot be read";
    QTest::newRow("no bus") << "relvoogd" << 0 << true << 4 << "Cannot reach the session bus";
    QTest::newRow("unknown command")
        << "frobnicate 1" << 0 << false << 2 << "relvoogctl: Unknown command 'frobnicate'";
    QTest::newRow("no channel") << "on" << 0 << false << 2 << "relvoogctl: Usage: relvoogctl on N";
    QTest::newRow("no service") << "on 1" << 0 << false << 3
                                << "relvoogctl: relvoogd is not running on the session bus";
    QTest::newRow("monitor, no service")
        << "monitor" << 0 << false << 3 << "relvoogctl: relvoogd is not running on the session bus";
    QTest::newRow("relvoogctl, no bus")
        << "status" << 0 << true << 3 << "relvoogctl: Cannot reach the session bus";
}

void tst_Relvoogd::refusals()
{
    QFETCH(QString, command);
    QFETCH(int, first);
    QFETCH(bool, noBus);
    QFETCH(int, status);
    QFETCH(QString, told);

    const QString settingsPath = m_folder.filePath(u"unreadable.conf"_s);
    QVERIFY(writeFile(settingsPath, "[ports\nport1=/dev/null\n"));
    if (first)
        startService(m_service, {}, true, first == 1 ? 0 : 2);
    const QString bus = noBus ? u"unix:path="_s + m_folder.filePath(u"no-bus"_s) : QString();
    const bool service = command.startsWith(u"relvoogd"_s);
    OpenWatch board(m_ptys[0].slave());
    QString said;
    if (service) {
        QProcess second;
        second.setProcessEnvironment(environment(true, bus));
        startService(second,
            command.endsWith(u"--config"_s) ? QStringList {u"--config"_s, settingsPath}
                                            : QStringList(),
            false);
        QVERIFY(second.waitForFinished(5000));
        QCOMPARE(second.exitCode(), status);
        said = QString::fromLocal8Bit(second.readAllStandardError());
    } else {
        QCOMPARE(run(command, &said, bus), status);
    }
    QVERIFY2((service ? said.contains(told) : said.startsWith(told))
            && said.count(QLatin1Char('\n')) == 1,
        qPrintable(said));
    // A refused service never touched its board, and the first one goes on serving.
    if (first != 1)
        QCOMPARE(board.openings(), 0);
    if (first)
        QCOMPARE(run(u"status"_s), 0);
}

QTEST_GUILESS_MAIN(tst_Relvoogd)
#include "tst_relvoogd.moc"
