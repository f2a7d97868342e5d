#include "BrokerProbe.h"
#include "ChannelControl.h"
#include "Module1.h"
#include "MosquittoBroker.h"
#include "MqttBridge.h"
#include "PseudoTerminal.h"
#include "RecordingPort.h"
#include "RelayBoard.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {
// Waits for what the broker brings, looking every millisecond rather than QTest's every ten: a
// message takes two turns of the event loop and a few milliseconds.
bool waitFor(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    return true;
}

// Each a topic below the root and a payload, and "kept" for a retained command the broker has
// before the bridge connects, or "retained" for one published retained while it is connected.
using Commands = QList<QByteArrayList>;

// The engine on a recording port with the bridge on a broker, under a topic root of its own.
struct BridgeRig
{
    explicit BridgeRig(const MqttSettings &settings)
        : settings(settings)
    { }

    void startBridge()
    {
        bridge = std::make_unique<MqttBridge>(channels, settings, std::chrono::milliseconds(50));
    }
    QString topic(const QString &suffix) const
    {
        return settings.topic + QLatin1Char('/') + suffix;
    }
    quint8 outputs() { return port.boards[board.portNumber()].outputs(); }
    // Waits until the topic below the root shows the payload.
    bool shows(const BrokerProbe &probe, const QString &suffix, const QByteArray &payload) const
    {
        return waitFor([&] { return probe.last(topic(suffix)) == payload; });
    }

    MqttSettings settings;
    RelayBoard board {std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline};
    RecordingPort &port = static_cast<RecordingPort &>(board.port());
    Module1 store;
    ChannelControl channels {board, store};
    std::unique_ptr<MqttBridge> bridge;
};
} // namespace

// The bridge against a mosquitto of the test's own: what Home Assistant is told, what a message
// does to the board and what comes back, and a broker that goes away, refuses or is not the one
// its certificate names.
class tst_MqttBridge : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void boardIds();
    void initTestCase();
    void discovery();
    void discoveryOff();
    void commands_data();
    void commands();
    void linkFailure();
    void brokerRestart();
    void access_data();
    void access();
    void willWhenKilled();

private:
    MqttSettings settings(const QString &root, quint16 port) const;

    MosquittoBroker m_broker;
};

MqttSettings tst_MqttBridge::settings(const QString &root, quint16 port) const
{
    MqttSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = port;
    settings.topic = QStringLiteral("test/") + root;
    return settings;
}

void tst_MqttBridge::settings_data()
{
    QTest::addColumn<QByteArray>("section"); // [mqtt]; a file "password" holds "sala\n"
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<quint16>("port");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QString>("problem"); // a part of it

    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    QTest::newRow("no host") << QByteArray("port=1884\n") << false << quint16(1883) << QByteArray()
                             << QString();
    QTest::newRow("host only") << QByteArray("host=broker.lan\n") << true << quint16(1883)
                               << QByteArray() << QString();
    QTest::newRow("TLS") << QByteArray("host=b\ntls=true ; a comment\n") << true << quint16(8883)
                         << QByteArray() << QString();
    QTest::newRow("TLS and a port") << QByteArray("host=b\ntls=true\nport=1884\n") << true
                                    << quint16(1884) << QByteArray() << QString();
    QTest::newRow("password from its file")
        << QByteArray("host=b\nusername=u\npassword_file=password\n") << true << quint16(1883)
        << QByteArray("sala") << QString();
    QTest::newRow("no password file") << QByteArray("host=b\npassword_file=nowhere\n") << false
                                      << quint16(1883) << QByteArray() << s("password file");
    QTest::newRow("tls=yes") << QByteArray("host=b\ntls=yes\n") << false << quint16(1883)
                             << QByteArray() << s("tls");
    QTest::newRow("port 0") << QByteArray("host=b\nport=0\n") << false << quint16(1883)
                            << QByteArray() << s("port");
    for (const char *root : {"a/+", "a/#", "a//b", "/a", "$SYS"})
        QTest::addRow("topic %s", root)
            << QByteArray("host=b\ntopic=") + root + '\n'
            << false << quint16(1883) << QByteArray() << s("cannot be a topic root");
}

void tst_MqttBridge::settings()
{
    QFETCH(QByteArray, section);
    QFETCH(bool, enabled);
    QFETCH(quint16, port);
    QFETCH(QByteArray, password);
    QFETCH(QString, problem);

    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("relvoog.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[general]\nrestore=true\n[mqtt]\n" + section);
    file.close();
    QFile secret(folder.filePath(QStringLiteral("password")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    secret.write("sala\n");
    secret.close();

    const MqttSettings settings = MqttSettings::read(file.fileName());
    QCOMPARE(settings.enabled(), enabled);
    QVERIFY2(problem.isEmpty() == settings.problem.isEmpty() && settings.problem.contains(problem),
        qPrintable(settings.problem));
    if (enabled) {
        QCOMPARE(settings.port, port);
        QCOMPARE(settings.password, password);
    }
}

void tst_MqttBridge::boardIds()
{
    // Home Assistant and the broker take only these characters in ids.
    const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
    QSet<QString> ids;
    for (const char *root : {"relvoog", "home/relvoog", "home_relvoog", "home relvoog", "köök"}) {
        MqttSettings settings;
        settings.topic = QString::fromUtf8(root);
        QVERIFY2(allowed.match(settings.boardId()).hasMatch(), qPrintable(settings.boardId()));
        ids << settings.boardId();
    }
    QCOMPARE(ids.size(), 5);
}

void tst_MqttBridge::initTestCase()
{
    if (!m_broker.start())
        QSKIP(qPrintable(m_broker.problem()));
}

void tst_MqttBridge::discovery()
{
    BridgeRig rig(settings(QStringLiteral("discovery"), m_broker.port()));
    const QString root = rig.settings.topic;
    BrokerProbe probe(
        m_broker.port(), {root + QStringLiteral("/#"), QStringLiteral("homeassistant/#")});
    QVERIFY(probe.isConnected());
    rig.startBridge();
    QVERIFY(rig.shows(probe, QStringLiteral("status"), "online"));

    QMap<QString, int> components;
    QSet<QString> uniqueIds;
    const QString device = QStringLiteral("relvoog_") + rig.settings.boardId();
    for (const BrokerProbe::Message &message : probe.messages()) {
        if (!message.topic.startsWith(QLatin1String("homeassistant/")))
            continue;
        QVERIFY2(message.topic.endsWith(QLatin1String("/config")), qPrintable(message.topic));
        const QJsonObject config = QJsonDocument::fromJson(message.payload).object();
        QVERIFY2(!config.value(QLatin1String("name")).toString().isEmpty(), message.payload);
        uniqueIds << config.value(QLatin1String("unique_id")).toString();
        QCOMPARE(
            config[QLatin1String("device")][QLatin1String("identifiers")][0].toString(), device);
        QCOMPARE(config.value(QLatin1String("availability_topic")).toString(),
            rig.topic(QStringLiteral("status")));
        // Every topic named is one the bridge answers on or publishes.
        const QString command = config.value(QLatin1String("command_topic")).toString();
        QVERIFY2(command.isEmpty()
                || (command.startsWith(root) && command.endsWith(QLatin1String("/set"))),
            qPrintable(command));
        const QString state = config.value(QLatin1String("state_topic")).toString();
        QVERIFY2(state.isEmpty() || !probe.payloads(state).isEmpty(), qPrintable(state));
        const QString component = message.topic.section(QLatin1Char('/'), 1, 1);
        ++components[component];
        if (component == QLatin1String("text")) {
            const QRegularExpression pattern(config.value(QLatin1String("pattern")).toString());
            for (const char *time : {"07:30:00", "", "23:59:59"})
                QVERIFY(pattern.match(QLatin1String(time)).hasMatch());
            for (const char *time : {"24:00:00", "7:30:00", "07:30", "07:30:00x"})
                QVERIFY(!pattern.match(QLatin1String(time)).hasMatch());
        }
    }
    const QMap<QString, int> expected {{QStringLiteral("switch"), 16}, {QStringLiteral("text"), 16},
        {QStringLiteral("button"), 1}, {QStringLiteral("binary_sensor"), 1}};
    QCOMPARE(components, expected);
    QCOMPARE(uniqueIds.size(), 34);
}

void tst_MqttBridge::discoveryOff()
{
    // What a run with discovery left behind.
    BridgeRig rig(settings(QStringLiteral("no-discovery"), m_broker.port()));
    const QString configs = QStringLiteral("homeassistant/+/%1/#").arg(rig.settings.boardId());
    BrokerProbe before(m_broker.port(), {rig.topic(QStringLiteral("status"))});
    before.publish(
        QStringLiteral("homeassistant/switch/%1/channel3/config").arg(rig.settings.boardId()), "{}",
        true);

    rig.settings.discovery = false;
    rig.startBridge();
    QVERIFY(rig.shows(before, QStringLiteral("status"), "online"));
    BrokerProbe after(m_broker.port(), {configs, rig.topic(QStringLiteral("#"))});
    QVERIFY(rig.shows(after, QStringLiteral("status"), "online"));
    QCOMPARE(after.messages().size(), 8 * 2 + 1 + 1); // retained: states, modes, link, status
}

void tst_MqttBridge::commands_data()
{
    QTest::addColumn<Commands>("commands");
    QTest::addColumn<quint8>("outputs");
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("shows");
    QTest::addColumn<QString>("error"); // a part of it

    const auto c
        = [](const QByteArray &topic, const QByteArray &payload, const QByteArray &retained = {}) {
              return QByteArrayList {topic, payload, retained};
          };
    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QString refusal = ChannelControl::kRefusal;
    QTest::newRow("ON") << Commands {c("channel/3/set", "ON")} << quint8(0x04)
                        << s("channel/3/state") << QByteArray("ON") << QString();
    QTest::newRow("TOGGLE") << Commands {c("channel/3/set", "ON"), c("channel/3/set", "TOGGLE")}
                            << quint8(0) << s("channel/3/state") << QByteArray("OFF") << QString();
    QTest::newRow("OFF after ON") << Commands {c("channel/3/set", "ON"), c("channel/3/set", "OFF")}
                                  << quint8(0) << s("channel/3/state") << QByteArray("OFF")
                                  << QString();
    QTest::newRow("times, then automatic")
        << Commands {c("channel/2/on_time/set", "07:00:00"),
               c("channel/2/off_time/set", "08:00:00"), c("channel/2/mode/set", "auto")}
        << quint8(0) << s("channel/2/mode") << QByteArray("auto") << QString();
    QTest::newRow("a switch ends automatic mode")
        << Commands {c("channel/2/on_time/set", "07:00:00"),
               c("channel/2/off_time/set", "08:00:00"), c("channel/2/mode/set", "auto"),
               c("channel/2/set", "ON")}
        << quint8(0x02) << s("channel/2/mode") << QByteArray("manual") << QString();
    QTest::newRow("all off") << Commands {c("channel/1/set", "ON"), c("channel/4/set", "ON"),
        c("all_off/set", "")} << quint8(0)
                             << s("channel/4/state") << QByteArray("OFF") << QString();
    QTest::newRow("automatic without times")
        << Commands {c("channel/5/on_time/set", "07:00:00"), c("channel/5/mode/set", "auto")}
        << quint8(0) << s("channel/5/mode") << QByteArray("manual") << refusal;
    QTest::newRow("00:00:00 is no time") << Commands {c("channel/5/on_time/set", "07:00:00"),
        c("channel/5/off_time/set", "08:00:00"), c("channel/5/on_time/set", "00:00:00"),
        c("channel/5/mode/set", "auto")} << quint8(0)
                                         << s("channel/5/on_time") << QByteArray() << refusal;
    QTest::newRow("kept by the broker")
        << Commands {c("channel/3/set", "ON", "kept")} << quint8(0) << s("channel/3/state")
        << QByteArray("OFF") << s("retained");
    // As a stale command is cleared: for a time, an empty payload would clear it too.
    QTest::newRow("retained while connected")
        << Commands {c("channel/3/on_time/set", "07:00:00"),
               c("channel/3/on_time/set", "", "retained")}
        << quint8(0) << s("channel/3/on_time") << QByteArray("07:00:00") << s("retained");
    QTest::newRow("65 bytes") << Commands {c("channel/3/set", QByteArray(65, 'O'))} << quint8(0)
                              << s("channel/3/state") << QByteArray("OFF") << s("65 bytes");
    QTest::newRow("lower case") << Commands {c("channel/3/set", "on")} << quint8(0)
                                << s("channel/3/state") << QByteArray("OFF") << s("\"on\" is not");
    QTest::newRow("not UTF-8") << Commands {c("channel/3/set", "\xff\xfe")} << quint8(0)
                               << s("channel/3/state") << QByteArray("OFF") << s("\"\\xff\\xfe\"");
    for (const char *channel : {"0", "9", "03", "x"})
        QTest::addRow("channel %s", channel)
            << Commands {c(QByteArray("channel/") + channel + "/set", "ON")} << quint8(0)
            << s("channel/3/state") << QByteArray("OFF") << s("no channel");
    for (const char *time : {"24:00:00", "07:30", "7:30:00", "07:30:00 "})
        QTest::addRow("time \"%s\"", time)
            << Commands {c("channel/3/on_time/set", time)} << quint8(0) << s("channel/3/on_time")
            << QByteArray() << s("HH:MM:SS");
}

void tst_MqttBridge::commands()
{
    QFETCH(Commands, commands);
    QFETCH(quint8, outputs);
    QFETCH(QString, topic);
    QFETCH(QByteArray, shows);
    QFETCH(QString, error);

    static int run = 0;
    BridgeRig rig(settings(QStringLiteral("commands%1").arg(++run), m_broker.port()));
    BrokerProbe probe(m_broker.port(), {rig.topic(QStringLiteral("#"))});
    const auto send = [&](bool kept) {
        for (const QByteArrayList &command : commands)
            if ((command[2] == "kept") == kept)
                probe.publish(
                    rig.topic(QString::fromUtf8(command[0])), command[1], !command[2].isEmpty());
    };
    send(true);
    rig.channels.load();
    rig.startBridge();
    QVERIFY(rig.shows(probe, QStringLiteral("status"), "online"));
    send(false);
    // Commands are carried out in the order they come, so once this one shows, all have; and
    // the bridge went on after what it refused.
    probe.publish(rig.topic(QStringLiteral("channel/8/set")), "ON");
    QVERIFY(rig.shows(probe, QStringLiteral("channel/8/state"), "ON"));

    QCOMPARE(probe.last(rig.topic(topic)), shows);
    QCOMPARE(rig.outputs(), quint8(outputs | 0x80));
    const QList<QByteArray> errors = probe.payloads(rig.topic(QStringLiteral("error")));
    QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
    if (!error.isEmpty())
        QVERIFY2(QString::fromUtf8(errors[0]).contains(error), errors[0].constData());
    // Every change is published once.
    QMap<QString, QByteArray> shown;
    for (const BrokerProbe::Message &message : probe.messages()) {
        if (message.topic.endsWith(QLatin1String("/set"))
            || message.topic.endsWith(QLatin1String("/error")))
            continue;
        QVERIFY2(!shown.contains(message.topic) || shown[message.topic] != message.payload,
            qPrintable(message.topic));
        shown[message.topic] = message.payload;
    }
}

void tst_MqttBridge::linkFailure()
{
    BridgeRig rig(settings(QStringLiteral("link"), m_broker.port()));
    BrokerProbe probe(m_broker.port(), {rig.topic(QStringLiteral("link"))});
    rig.channels.load();
    rig.startBridge();
    const auto link = [&] {
        return QJsonDocument::fromJson(probe.last(rig.topic(QStringLiteral("link")))).object();
    };
    QVERIFY(waitFor([&] { return link().value(QLatin1String("ok")).toBool(); }));
    QCOMPARE(link().value(QLatin1String("device")).toString(), QStringLiteral("/dev/relay1"));

    // What the board's problem sensor shows.
    rig.port.linesFail = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
    rig.channels.WriteRelays();
    QVERIFY(waitFor([&] { return !link().value(QLatin1String("ok")).toBool(true); }));
    QCOMPARE(link().value(QLatin1String("error")).toString(), QStringLiteral("port 1 failed"));
    rig.port.linesFail = false;
    rig.channels.WriteRelays();
    QVERIFY(waitFor([&] { return link().value(QLatin1String("ok")).toBool(); }));
}

void tst_MqttBridge::brokerRestart()
{
    BridgeRig rig(settings(QStringLiteral("restart"), m_broker.port()));
    rig.channels.load();
    rig.startBridge();
    QSignalSpy connection(rig.bridge.get(), &MqttBridge::connectionChanged);
    QVERIFY(connection.wait());

    m_broker.stop();
    QVERIFY(connection.wait());
    QCOMPARE(connection[1][0].toBool(), false);
    rig.channels.switchManually(3, true);
    QVERIFY(m_broker.start());
    // The broker kept nothing: what it shows again came from the bridge.
    BrokerProbe probe(m_broker.port(), {rig.topic(QStringLiteral("#"))});
    QVERIFY(rig.shows(probe, QStringLiteral("status"), "online"));
    QCOMPARE(probe.last(rig.topic(QStringLiteral("channel/3/state"))), QByteArray("ON"));
    QCOMPARE(probe.last(rig.topic(QStringLiteral("channel/1/state"))), QByteArray("OFF"));
    QCOMPARE(connection.last()[0].toBool(), true);
    probe.publish(rig.topic(QStringLiteral("channel/3/set")), "OFF");
    QVERIFY(waitFor([&rig] { return rig.outputs() == 0; }));

    // A program that ends says so too.
    rig.bridge.reset();
    QVERIFY(rig.shows(probe, QStringLiteral("status"), "offline"));
}

void tst_MqttBridge::access_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("refusal"); // a part of it; none when it connects

    const auto s = [](const char *text) { return QString::fromUtf8(text); };
    const QByteArray password(MosquittoBroker::kPassword);
    QTest::newRow("its CA, the password")
        << s("localhost") << s("ca.crt") << password << true << QString();
    QTest::newRow("wrong password")
        << s("localhost") << s("ca.crt") << QByteArray("salasõna") << true << s("authorized");
    QTest::newRow("another CA") << s("localhost") << s("other-ca.crt") << password << true
                                << s("certificate verify failed");
    QTest::newRow("host not in the certificate")
        << s("127.0.0.1") << s("ca.crt") << password << true << s("not issued for 127.0.0.1");
    QTest::newRow("broker down") << s("localhost") << s("ca.crt") << password << false
                                 << s("refused");
}

void tst_MqttBridge::access()
{
    QFETCH(QString, host);
    QFETCH(QString, ca);
    QFETCH(QByteArray, password);
    QFETCH(bool, running);
    QFETCH(QString, refusal);

    static MosquittoBroker broker(MosquittoBroker::Access::TlsWithPassword);
    if (!broker.isRunning() && !broker.start())
        QSKIP(qPrintable(broker.problem()));
    if (!running)
        broker.stop();
    BridgeRig rig(settings(QStringLiteral("access"), broker.port()));
    rig.settings.host = host;
    rig.settings.tls = true;
    rig.settings.caFile = broker.path(ca);
    rig.settings.username = QLatin1String(MosquittoBroker::kUser);
    rig.settings.password = password;
    rig.startBridge();
    QSignalSpy connection(rig.bridge.get(), &MqttBridge::connectionChanged);
    QVERIFY(connection.wait());
    QCOMPARE(connection[0][0].toBool(), refusal.isNull());
    QVERIFY2(
        connection[0][1].toString().contains(refusal), qPrintable(connection[0][1].toString()));
}

void tst_MqttBridge::willWhenKilled()
{
    const QString root = QStringLiteral("test/program");
    QTemporaryDir folder;
    QFile settings(folder.filePath(QStringLiteral("relvoog.conf")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\ntopic=%2\n")
                       .arg(m_broker.port())
                       .arg(root)
                       .toUtf8());
    settings.close();
    PseudoTerminal ports[2];
    BrokerProbe probe(m_broker.port(), {root + QStringLiteral("/#")});

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(RELVOOG_PROGRAM),
        {QStringLiteral("--port1"), ports[0].slave(), QStringLiteral("--port2"), ports[1].slave(),
            QStringLiteral("--config"), settings.fileName(), QStringLiteral("--state"),
            folder.filePath(QStringLiteral("state.conf"))});
    const auto shows = [&probe, &root](const char *suffix, const QByteArray &payload) {
        return waitFor([&] { return probe.last(root + QLatin1String(suffix)) == payload; });
    };
    QVERIFY(shows("/status", "online"));
    probe.publish(root + QStringLiteral("/channel/3/set"), "ON");
    QVERIFY(shows("/channel/3/state", "ON"));

    ::kill(pid_t(program.processId()), SIGKILL);
    QVERIFY(shows("/status", "offline"));
    program.waitForFinished();
}

QTEST_GUILESS_MAIN(tst_MqttBridge)
#include "tst_mqttbridge.moc"
