#include "ChannelControl.h"
#include "LanguageChoice.h"
#include "OpenWatch.h"
#include "PrivateBus.h"
#include "PseudoTerminal.h"
#include "VirtualBoard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <unistd.h>

// relvoogd and relvoogctl as their users run them: on a D-Bus daemon of the test's own, with
// ports 1 and 2 on pseudo-terminals that the virtual board, preloaded into the service, drives.
// Its settings and state are in a folder of the test's own, so it never reaches a machine's
// serial port or files.
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
    void refusedStart_data();
    void refusedStart();
    void unreachable_data();
    void unreachable();
    void interfaceFile();
    void neededLibraries();

private:
    // The test's bus, and English.
    QProcessEnvironment environment() const;
    QProcessEnvironment serviceEnvironment() const;
    // Starts relvoogd on the given ports and, unless it is expected to refuse, waits until it
    // serves.
    void startService(
        QProcess &service, const QStringList &arguments = {}, bool serves = true, int firstPty = 0);
    void stopService(QProcess &service, int signal = SIGTERM);
    // relvoogctl's exit status; what it printed on stdout and stderr goes to said.
    int ctl(const QString &commandLine, QString *said = nullptr) const;
    // The outputs the port's board latched last, as "00100000" for channel 3 on.
    QString latched(int port) const;
    QStringList ports(int first) const;

    // So that the program's texts read here are the English the programs speak.
    const LanguageChoice m_english {LanguageChoice::Language::English};
    PrivateBus m_bus;
    PseudoTerminal m_ptys[4];
    QTemporaryDir m_folder;
    QProcess m_service;
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
    // Each case starts with no remembered state, no settings and no live lines.
    const QDir folder(m_folder.path());
    for (const QFileInfo &entry : folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot))
        entry.isDir() ? QDir(entry.filePath()).removeRecursively()
                      : QFile::remove(entry.filePath());
    for (PseudoTerminal &pty : m_ptys)
        pty.received();
}

QProcessEnvironment tst_Relvoogd::environment() const
{
    QProcessEnvironment environment = m_bus.environment();
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("en_US.UTF-8"));
    return environment;
}

QProcessEnvironment tst_Relvoogd::serviceEnvironment() const
{
    QProcessEnvironment environment = this->environment();
    environment.insert(
        QStringLiteral("XDG_CONFIG_HOME"), m_folder.filePath(QStringLiteral("config")));
    environment.insert(
        QStringLiteral("XDG_STATE_HOME"), m_folder.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("LD_PRELOAD"), VirtualBoard::libraryPath());
    // A sanitized service has its runtime loaded after the board; that is fine here.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("verify_asan_link_order=0"));
    // Where a system service's unit has systemd keep its state.
    environment.insert(QStringLiteral("STATE_DIRECTORY"), m_folder.path());
    environment.insert(
        QStringLiteral("VIRTUALBOARD_LIVE"), m_folder.filePath(QStringLiteral("live")));
    environment.insert(QStringLiteral("VIRTUALBOARD_LIVE_CHANGES"), QStringLiteral("1"));
    return environment;
}

QStringList tst_Relvoogd::ports(int first) const
{
    return {QStringLiteral("--port1"), m_ptys[first].slave(), QStringLiteral("--port2"),
        m_ptys[first + 1].slave()};
}

void tst_Relvoogd::startService(
    QProcess &service, const QStringList &arguments, bool serves, int firstPty)
{
    if (service.processEnvironment().isEmpty())
        service.setProcessEnvironment(serviceEnvironment());
    // What it logs tells when it serves.
    service.setReadChannel(QProcess::StandardError);
    // A test that is killed takes it along, so that it holds no board or bus name afterwards.
    service.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    service.start(QStringLiteral(RELVOOGD), ports(firstPty) + arguments);
    QVERIFY(service.waitForStarted());
    if (serves)
        QTRY_VERIFY(
            service.peek(service.bytesAvailable()).contains("relvoogd " RELVOOG_VERSION " runs"));
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

int tst_Relvoogd::ctl(const QString &commandLine, QString *said) const
{
    QProcess client;
    client.setProcessEnvironment(environment());
    client.start(QStringLiteral(RELVOOGCTL), commandLine.split(QLatin1Char(' ')));
    // No answer in time is a status of its own, well within this.
    if (!client.waitForFinished(10000))
        return -1;
    if (said)
        *said = QString::fromUtf8(client.readAllStandardOutput() + client.readAllStandardError());
    return client.exitStatus() == QProcess::NormalExit ? client.exitCode() : -1;
}

QString tst_Relvoogd::latched(int port) const
{
    // A live line: the time, the device, and "1:off 2:ON ..." for the eight outputs.
    QFile live(m_folder.filePath(QStringLiteral("live")));
    live.open(QIODevice::ReadOnly);
    QString word;
    for (const QByteArray &line : live.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() != 2 + 8 || fields[1] != m_ptys[port - 1].slave().toLocal8Bit())
            continue;
        word.clear();
        for (int channel = 1; channel <= 8; ++channel)
            word += fields[1 + channel].endsWith("ON") ? QLatin1Char('1') : QLatin1Char('0');
    }
    return word;
}

void tst_Relvoogd::commands_data()
{
    QTest::addColumn<QString>("commands"); // separated by "; ", all but the last succeed
    QTest::addColumn<int>("status"); // of the last
    QTest::addColumn<QString>("said"); // by the last
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("word"); // that the port's board latches at the end
    QTest::addColumn<QString>("fault"); // of the virtual board, "%2" for port 2's device

    const QString refusal = ChannelControl::refusalText();
    QTest::newRow("on") << "on 3" << 0 << "" << 1 << "00100000"
                        << "";
    QTest::newRow("off") << "on 3; on 4; off 3" << 0 << "" << 1 << "00010000"
                         << "";
    QTest::newRow("toggle") << "on 1; toggle 1; toggle 2" << 0 << "" << 1 << "01000000"
                            << "";
    QTest::newRow("all-off ends automatic mode, keeps the times")
        << "times 2 07:00:00 08:00:00; auto 2; on 1; all-off; status" << 0
        << "channel 2  off  manual     on 07:00:00  off 08:00:00" << 1 << "00000000"
        << "";
    QTest::newRow("times, then automatic mode")
        << "times 4 07:00:00 08:00:00; auto 4; status --json" << 0
        << R"({"automatic":true,"channel":4,"on":false,"switchOff":"08:00:00","switchOn":"07:00:00"})"
        << 1 << "00000000"
        << "";
    QTest::newRow("by hand ends automatic mode")
        << "times 5 07:00:00 08:00:00; auto 5; on 5; status" << 0 << "channel 5  on   manual" << 1
        << "00001000"
        << "";
    QTest::newRow("automatic without times") << "auto 4" << 1 << refusal << 1 << "00000000"
                                             << "";
    QTest::newRow("00:00:00 is no time")
        << "times 4 00:00:00 08:00:00; auto 4" << 1 << refusal << 1 << "00000000"
        << "";
    QTest::newRow("channel 9") << "on 9" << 2 << "no channel 9" << 1 << "00000000"
                               << "";
    QTest::newRow("channel 0") << "toggle 0" << 2 << "no channel 0" << 1 << "00000000"
                               << "";
    QTest::newRow("malformed time")
        << "times 1 7:00:00 08:00:00" << 2 << "'7:00:00' is not a time of day" << 1 << "00000000"
        << "";
    QTest::newRow("hour 24") << "times 1 07:00:00 24:00:00" << 2
                             << "'24:00:00' is not a time of day" << 1 << "00000000"
                             << "";
    QTest::newRow("a time with a line in it")
        << "times 1 07:00:00\nforged 08:00:00" << 2 << "is not a time of day" << 1 << "00000000"
        << "";
    QTest::newRow("unknown command")
        << "frobnicate 1" << 2 << "Unknown command 'frobnicate'" << 1 << "00000000"
        << "";
    QTest::newRow("no channel") << "on" << 2 << "Usage: relvoogctl on N" << 1 << "00000000"
                                << "";
    QTest::newRow("port 2") << "port 2; on 6" << 0 << "" << 2 << "00000100"
                            << "";
    QTest::newRow("port 2 held by another program")
        << "port 2" << 1 << "Device or resource busy" << 1 << "00000000"
        << "%2 busy";
    QTest::newRow("port 3") << "port 3" << 2 << "no port 3" << 1 << "00000000"
                            << "";
}

void tst_Relvoogd::commands()
{
    QFETCH(QString, commands);
    QFETCH(int, status);
    QFETCH(QString, said);
    QFETCH(int, port);
    QFETCH(QString, word);
    QFETCH(QString, fault);

    QProcessEnvironment environment = serviceEnvironment();
    environment.insert(QStringLiteral("VIRTUALBOARD_FAULTS"),
        QString(fault).replace(QStringLiteral("%2"), m_ptys[1].slave()));
    m_service.setProcessEnvironment(environment);
    startService(m_service);
    const QStringList lines = commands.split(QStringLiteral("; "));
    QString answer;
    for (const QString &command : lines.mid(0, lines.size() - 1))
        QCOMPARE(ctl(command, &answer), 0);
    QCOMPARE(ctl(lines.constLast(), &answer), status);
    QVERIFY2(answer.contains(said), qPrintable(answer));
    QTRY_COMPARE(latched(port), word);
    // Whatever a client sends, each line in the journal is the service's own.
    stopService(m_service);
    for (const QByteArray &line : m_service.readAllStandardError().split('\n'))
        QVERIFY2(line.isEmpty() || line.startsWith("relvoog."), line.constData());
}

void tst_Relvoogd::monitor_data()
{
    // Each step is a relvoogctl command, or the test holding port 1 as another program would,
    // or letting go of it; the monitor prints its line before the next step.
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("lines"); // "%2" is port 2's device

    QTest::newRow("changes") << ""
                             << QStringList {QStringLiteral("on 2"),
                                    QStringLiteral("times 2 07:00:00 08:00:00"),
                                    QStringLiteral("port 2")}
                             << QStringList {QStringLiteral("channel 2  on"),
                                    QStringLiteral("channel 2  on 07:00:00  off 08:00:00"),
                                    QStringLiteral("port 2     %2")};
    QTest::newRow("changes as JSON")
        << "--json" << QStringList {QStringLiteral("on 2"), QStringLiteral("port 2")}
        << QStringList {QStringLiteral(R"({"channel":2,"event":"RelayStateChanged","on":true})"),
               QStringLiteral(R"({"device":"%2","event":"PortChanged","port":2})")};
    QTest::newRow("a failing port and its end")
        << "" << QStringList {QStringLiteral("hold"), QStringLiteral("let go")}
        << QStringList {QStringLiteral("port 1     failing: "),
               QStringLiteral("port 1     reaches the board again")};
}

void tst_Relvoogd::monitor()
{
    QFETCH(QString, options);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, lines);

    startService(m_service);
    QProcess monitor;
    monitor.setProcessEnvironment(environment());
    monitor.setReadChannel(QProcess::StandardError);
    monitor.start(QStringLiteral(RELVOOGCTL),
        (QStringLiteral("monitor ") + options).split(QLatin1Char(' '), Qt::SkipEmptyParts));
    QTRY_VERIFY(monitor.peek(monitor.bytesAvailable()).contains("Following relvoogd"));
    monitor.readAllStandardError();
    QByteArray output;
    int held = -1;
    const auto letGo = qScopeGuard([&held] {
        if (held >= 0)
            ::close(held);
    });
    for (int i = 0; i < steps.size(); ++i) {
        if (steps[i] == QLatin1String("hold")) {
            held = ::open(QFile::encodeName(m_ptys[0].slave()).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(held >= 0 && ::flock(held, LOCK_EX) == 0);
        } else if (steps[i] == QLatin1String("let go")) {
            ::close(held);
            held = -1;
        } else {
            QCOMPARE(ctl(steps[i]), 0);
        }
        const QByteArray line
            = QString(lines[i]).replace(QStringLiteral("%2"), m_ptys[1].slave()).toUtf8();
        QTRY_VERIFY2((output += monitor.readAllStandardOutput()).contains(line), output);
    }
    ::kill(pid_t(monitor.processId()), SIGINT);
    QVERIFY(monitor.waitForFinished(5000));
}

void tst_Relvoogd::supersededPortChange()
{
    // Port 2's adapter takes its time to open, so that a second change comes during the trial.
    QProcessEnvironment environment = serviceEnvironment();
    environment.insert(QStringLiteral("VIRTUALBOARD_FAULTS"),
        m_ptys[1].slave() + QStringLiteral(" delay 0 300000"));
    m_service.setProcessEnvironment(environment);
    startService(m_service);
    QProcess first;
    first.setProcessEnvironment(this->environment());
    first.start(QStringLiteral(RELVOOGCTL), {QStringLiteral("port"), QStringLiteral("2")});
    QTRY_VERIFY(m_service.peek(m_service.bytesAvailable()).contains("ChangePort(2)"));
    QCOMPARE(ctl(QStringLiteral("port 1")), 0);
    // Told at once, rather than left to wait for a trial that will never finish.
    QVERIFY(first.waitForFinished(1000));
    QCOMPARE(first.exitCode(), 1);
    QVERIFY(first.readAllStandardError().contains("A newer port change took this one's place."));
    QString status;
    QCOMPARE(ctl(QStringLiteral("status"), &status), 0);
    QVERIFY2(
        status.contains(QStringLiteral("port 1     ") + m_ptys[0].slave()), qPrintable(status));
}

void tst_Relvoogd::restart_data()
{
    QTest::addColumn<int>("signal");
    // Where the channels are remembered: --state, systemd's STATE_DIRECTORY, or the user's own
    // default.
    QTest::addColumn<QString>("state");

    QTest::newRow("SIGTERM, --state") << SIGTERM << "--state";
    QTest::newRow("SIGINT, STATE_DIRECTORY") << SIGINT << "STATE_DIRECTORY";
    QTest::newRow("SIGHUP, the user's state file") << SIGHUP << "";
}

void tst_Relvoogd::restart()
{
    QFETCH(int, signal);
    QFETCH(QString, state);

    QProcessEnvironment environment = serviceEnvironment();
    if (state.isEmpty())
        environment.remove(QStringLiteral("STATE_DIRECTORY"));
    m_service.setProcessEnvironment(environment);
    const QString given = m_folder.filePath(QStringLiteral("given.conf"));
    const QStringList arguments
        = state == QLatin1String("--state") ? QStringList {state, given} : QStringList();
    // Channel 5's times put now between them, away from midnight, which is no time.
    const QTime now = QTime::currentTime();
    const auto time = [](QTime time) {
        return (time == QTime(0, 0) ? time.addSecs(1) : time).toString(QStringLiteral("HH:mm:ss"));
    };
    startService(m_service, arguments);
    for (const QString &command :
        {QStringLiteral("times 5 %1 %2").arg(time(now.addSecs(-3600)), time(now.addSecs(3600))),
            QStringLiteral("auto 5"), QStringLiteral("on 6"), QStringLiteral("port 2")})
        QCOMPARE(ctl(command), 0);
    // Automatic, channel 5 keeps its state until the tick meets one of its times.
    QTRY_COMPARE(latched(2), QStringLiteral("00000100"));
    // The journal tells who asked for what.
    const QRegularExpression logged(
        QStringLiteral(R"(SetAutomatic\(5, true\) from :1\.\d+ \(uid %1, pid \d+\)\n)")
            .arg(::getuid()));
    QString log;
    QTRY_VERIFY(
        logged.match(log += QString::fromLocal8Bit(m_service.readAllStandardError())).hasMatch());

    stopService(m_service, signal);
    QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_service.exitCode(), 0);
    if (!state.isEmpty())
        QVERIFY(QFile::exists(state == QLatin1String("--state")
                ? given
                : m_folder.filePath(QStringLiteral("state.conf"))));
    startService(m_service, arguments);
    // Resumed on port 2, with channel 5 in the state its times give for now.
    QTRY_COMPARE(latched(2), QStringLiteral("00001100"));
    QString status;
    QCOMPARE(ctl(QStringLiteral("status"), &status), 0);
    QVERIFY2(status.contains(QStringLiteral("channel 5  on   automatic")), qPrintable(status));
}

void tst_Relvoogd::refusedStart_data()
{
    QTest::addColumn<int>("first"); // a service already running: 0 none, 1 same board, 2 other
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("busAddress"); // empty: the test's bus
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("told");

    QTest::newRow("the same board") << 1 << ""
                                    << "" << 3 << "driven by another copy";
    QTest::newRow("another board, the same bus") << 2 << ""
                                                 << "" << 4 << "relvoogd (process ";
    QTest::newRow("settings that cannot be read") << 0 << "--config"
                                                  << "" << 2 << "unreadable.conf cannot be read";
    QTest::newRow("no bus") << 0 << ""
                            << "unix:path=%1" << 4 << "Cannot reach the session bus";
}

void tst_Relvoogd::refusedStart()
{
    QFETCH(int, first);
    QFETCH(QString, option);
    QFETCH(QString, busAddress);
    QFETCH(int, status);
    QFETCH(QString, told);

    const QString settingsPath = m_folder.filePath(QStringLiteral("unreadable.conf"));
    QFile settings(settingsPath);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("[ports\nport1=/dev/null\n");
    settings.close();
    if (first)
        startService(m_service, {}, true, first == 1 ? 0 : 2);
    QProcess second;
    QProcessEnvironment environment = serviceEnvironment();
    if (!busAddress.isEmpty())
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
            busAddress.arg(m_folder.filePath(QStringLiteral("no-bus"))));
    second.setProcessEnvironment(environment);
    OpenWatch board(m_ptys[0].slave());
    startService(
        second, option.isEmpty() ? QStringList() : QStringList {option, settingsPath}, false);
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitCode(), status);
    const QString errors = QString::fromLocal8Bit(second.readAllStandardError());
    QVERIFY2(errors.contains(told), qPrintable(errors));
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
    // The refused one never touched its board, and the first one goes on serving.
    if (first != 1)
        QCOMPARE(board.openings(), 0);
    if (first)
        QCOMPARE(ctl(QStringLiteral("status")), 0);
}

void tst_Relvoogd::unreachable_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("busRunning");
    QTest::addColumn<QString>("told");

    QTest::newRow("no service") << "on 1" << true << "relvoogd is not running on the session bus";
    QTest::newRow("monitor, no service")
        << "monitor" << true << "relvoogd is not running on the session bus";
    QTest::newRow("no bus") << "status" << false << "Cannot reach the session bus";
}

void tst_Relvoogd::unreachable()
{
    QFETCH(QString, command);
    QFETCH(bool, busRunning);
    QFETCH(QString, told);

    QProcess client;
    QProcessEnvironment environment = this->environment();
    if (!busRunning)
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
            QStringLiteral("unix:path=") + m_folder.filePath(QStringLiteral("no-bus")));
    client.setProcessEnvironment(environment);
    client.start(QStringLiteral(RELVOOGCTL), command.split(QLatin1Char(' ')));
    QVERIFY(client.waitForFinished(5000));
    QCOMPARE(client.exitCode(), 3);
    const QString errors = QString::fromLocal8Bit(client.readAllStandardError());
    QVERIFY2(errors.startsWith(QStringLiteral("relvoogctl: ") + told), qPrintable(errors));
    QCOMPARE(errors.count(QLatin1Char('\n')), 1);
}

namespace {
// The interface's members as "method Switch(in i channel, in b on)", sorted, from introspection.
QStringList members(const QString &introspection)
{
    QStringList members;
    QString member;
    bool inside = false;
    for (QXmlStreamReader reader(introspection); !reader.atEnd();) {
        reader.readNext();
        const QString element = reader.name().toString();
        const auto attribute = [&reader](const char *name) {
            return reader.attributes().value(QLatin1String(name)).toString();
        };
        const bool start = reader.isStartElement();
        const bool isMember
            = element == QLatin1String("method") || element == QLatin1String("signal");
        if (start && element == QLatin1String("interface"))
            inside = attribute("name") == QLatin1String("ee.relvoog.Relvoog1");
        else if (!inside)
            continue;
        else if (start && isMember)
            member = element + QLatin1Char(' ') + attribute("name") + QLatin1Char('(');
        // A signal's arguments go out whether or not the file says so.
        else if (start && element == QLatin1String("arg"))
            member += QStringLiteral("%1 %2 %3, ")
                          .arg(member.startsWith(QLatin1String("signal")) ? QStringLiteral("out")
                                                                          : attribute("direction"),
                              attribute("type"), attribute("name"));
        else if (reader.isEndElement() && isMember)
            members << member + QLatin1Char(')');
        else if (start && element == QLatin1String("property"))
            members << QStringLiteral("property %1 %2 %3")
                           .arg(attribute("name"), attribute("type"), attribute("access"));
        else if (reader.isEndElement() && element == QLatin1String("interface"))
            inside = false;
    }
    members.sort();
    return members;
}
} // namespace

void tst_Relvoogd::interfaceFile()
{
    // Clients are built from the installed file; the service must serve what it says.
    QFile file(QStringLiteral(RELVOOG1_XML));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList installed = members(QString::fromUtf8(file.readAll()));
    QVERIFY(installed.size() > 1);

    startService(m_service);
    QDBusConnection bus = QDBusConnection::connectToBus(m_bus.address(), QStringLiteral("test"));
    const QDBusMessage reply = bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("ee.relvoog.Relvoog1"), QStringLiteral("/ee/relvoog/Relvoog1"),
        QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect")));
    QCOMPARE(members(reply.arguments().value(0).toString()), installed);
}

void tst_Relvoogd::neededLibraries()
{
    // Without Qt Gui, the service needs no display and none of its libraries.
    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), QStringLiteral(RELVOOGD)});
    if (!readelf.waitForFinished() || readelf.exitCode() != 0)
        QSKIP("readelf could not be run; it is in Debian's binutils package");
    const QByteArray needed = readelf.readAllStandardOutput();
    QVERIFY(needed.contains("[libQt6DBus.so.6]"));
    QVERIFY(!needed.contains("libQt6Gui"));
    QVERIFY(!needed.contains("libQt6Widgets"));
}

QTEST_GUILESS_MAIN(tst_Relvoogd)
#include "tst_relvoogd.moc"
