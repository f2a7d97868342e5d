// SPDX-License-Identifier: MIT
#include "BrokerProbe.h"
#include "ChannelControl.h"
#include "Files.h"
#include "Module1.h"
#include "MosquittoBroker.h"
#include "MqttBridge.h"
#include "PrivateBus.h"
#include "PseudoTerminal.h"
#include "RecordingPort.h"
#include "RelayBoard.h"
#include "Soon.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// The engine on a recording port with the bridge on a broker, under a topic root of its own, and
// a probe that watches everything below the root.
struct BridgeRig
{
    BridgeRig(const char *root, quint16 port, bool watch = true)
    {
        settings.host = u"127.0.0.1"_s;
        settings.port = port;
        settings.topic = u"test/"_s + QString::fromUtf8(root);
        if (watch)
            listen();
        channels.load();
    }

    void listen(const QStringList &more = {})
    {
        // The root last, so that its status comes after the retained messages of the others.
        probe = std::make_unique<BrokerProbe>(settings.port, more + QStringList {topic("#")});
    }
    void start()
    {
        bridge = std::make_unique<MqttBridge>(channels, settings, std::chrono::milliseconds(50));
    }
    QString topic(const QByteArray &suffix) const
    {
        return settings.topic + QLatin1Char('/') + QString::fromUtf8(suffix);
    }
    QByteArray last(const QByteArray &suffix) const { return probe->last(topic(suffix)); }
    bool shows(const QByteArray &suffix, const QByteArray &payload) const
    {
        return soon([&] { return last(suffix) == payload; });
    }
    quint8 outputs() { return port.boards[board.portNumber()].outputs(); }

    MqttSettings settings;
    std::unique_ptr<BrokerProbe> probe;
    RelayBoard board {std::make_unique<RecordingPort>(), RelayBoard::Threading::Inline};
    RecordingPort &port = static_cast<RecordingPort &>(board.port());
    Module1 store;
    ChannelControl channels {board, store};
    std::unique_ptr<MqttBridge> bridge;
};
} // namespace

// The bridge against a mosquitto of the test's own: its settings, what Home Assistant is told,
// what a message does to the board and what comes back, and a broker that goes away, refuses or
// is not the one its certificate names.
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
    void programs_data();
    void programs();

private:
    MosquittoBroker m_broker;
};

void tst_MqttBridge::settings_data()
{
    QTest::addColumn<QByteArray>("section"); // [mqtt]; the file "password" holds "sala\n"
    QTest::addColumn<int>("port"); // 0: MQTT is off
    QTest::addColumn<QString>("problem"); // a part of it

    QTest::newRow("no host") << QByteArray("port=1884") << 0 << QString();
    QTest::newRow("TLS") << QByteArray("host=b\ntls=true ; a comment") << 8883 << QString();
    QTest::newRow("password") << QByteArray("host=b\npassword_file=password") << 1883 << QString();
    QTest::newRow("no password file")
        << QByteArray("host=b\npassword_file=nowhere") << 0 << u"paroolifail"_s;
    QTest::newRow("tls=yes") << QByteArray("host=b\ntls=yes") << 0 << u"tls"_s;
    for (const char *root : {"a/+", "a/#", "a//b", "$SYS"})
        QTest::addRow("topic %s", root)
            << QByteArray("host=b\ntopic=") + root << 0 << u"ei sobi teemade juureks"_s;
}

void tst_MqttBridge::settings()
{
    QFETCH(QByteArray, section);
    QFETCH(int, port);
    QFETCH(QString, problem);

    QTemporaryDir folder;
    const QString file = folder.filePath(u"relvoog.conf"_s);
    QVERIFY(writeFile(file, "[general]\nrestore=true\n[mqtt]\n" + section + '\n')
        && writeFile(folder.filePath(u"password"_s), "sala\n"));

    const MqttSettings settings = MqttSettings::read(file);
    QCOMPARE(settings.enabled() ? settings.port : 0, port);
    QVERIFY2(problem.isNull() == settings.problem.isEmpty() && settings.problem.contains(problem),
        qPrintable(settings.problem));
    QCOMPARE(settings.password, section.contains("=password") ? "sala" : QByteArray());
}

void tst_MqttBridge::boardIds()
{
    // Home Assistant and the broker take only these characters in ids.
    const QRegularExpression allowed(u"^[A-Za-z0-9_-]+$"_s);
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
    BridgeRig rig("discovery", m_broker.port(), false);
    rig.listen({u"homeassistant/#"_s});
    rig.start();
    QVERIFY(rig.shows("status", "online"));

    QMap<QString, int> components;
    QSet<QString> uniqueIds;
    for (const BrokerProbe::Message &message : rig.probe->messages()) {
        if (!message.topic.startsWith(u"homeassistant/"_s))
            continue;
        const QJsonObject config = QJsonDocument::fromJson(message.payload).object();
        QVERIFY2(!config[u"name"_s].toString().isEmpty(), message.payload);
        uniqueIds << config[u"unique_id"_s].toString();
        QCOMPARE(config[u"device"_s][u"identifiers"_s][0].toString(),
            u"relvoog_"_s + rig.settings.boardId());
        QCOMPARE(config[u"availability_topic"_s].toString(), rig.topic("status"));
        // Every topic named is one the bridge answers on or publishes.
        const QString command = config[u"command_topic"_s].toString();
        QVERIFY2(command.isEmpty() || rig.settings.topic == command.section(QLatin1Char('/'), 0, 1),
            qPrintable(command));
        const QString state = config[u"state_topic"_s].toString();
        QVERIFY2(state.isEmpty() || !rig.probe->payloads(state).isEmpty(), qPrintable(state));
        const QString component = message.topic.section(QLatin1Char('/'), 1, 1);
        ++components[component];
        if (component != u"text"_s)
            continue;
        const QRegularExpression pattern(config[u"pattern"_s].toString());
        for (const char *time : {"07:30:00", "", "23:59:59"})
            QVERIFY(pattern.match(QString::fromUtf8(time)).hasMatch());
        for (const char *time : {"24:00:00", "7:30:00", "07:30"})
            QVERIFY(!pattern.match(QString::fromUtf8(time)).hasMatch());
    }
    const QMap<QString, int> expected {
        {u"switch"_s, 16}, {u"text"_s, 16}, {u"button"_s, 1}, {u"binary_sensor"_s, 1}};
    QCOMPARE(components, expected);
    QCOMPARE(uniqueIds.size(), 34);
}

void tst_MqttBridge::discoveryOff()
{
    // What a run with discovery left behind.
    BridgeRig rig("no-discovery", m_broker.port());
    const QString configs = u"homeassistant/+/%1/#"_s.arg(rig.settings.boardId());
    rig.probe->publish(
        u"homeassistant/switch/%1/channel3/config"_s.arg(rig.settings.boardId()), "{}", true);
    rig.settings.discovery = false;
    rig.start();
    QVERIFY(rig.shows("status", "online"));
    rig.listen({configs});
    QVERIFY(rig.shows("status", "online"));
    QCOMPARE(rig.probe->messages().size(), 8 * 2 + 1 + 1); // retained: states, modes, link, status
}

void tst_MqttBridge::commands_data()
{
    // "TOPIC PAYLOAD;…" below the root, "channel/" left out; "kept:" before a topic: retained on
    // the broker before the bridge connects, "retained:" published retained while it is.
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<QByteArray>("shows"); // "TOPIC PAYLOAD" as above
    QTest::addColumn<QString>("error"); // a part of it

    const QByteArray auto2("2/on_time/set 07:00:00;2/off_time/set 08:00:00;2/mode/set auto");
    QTest::newRow("ON, OFF, TOGGLE") << QByteArray("3/set ON;3/set TOGGLE;1/set ON;1/set OFF") << 0
                                     << QByteArray("3/state OFF") << QString();
    QTest::newRow("times, then automatic") << auto2 << 0 << QByteArray("2/mode auto") << QString();
    QTest::newRow("a switch ends automatic mode")
        << auto2 + ";2/set ON" << 0x02 << QByteArray("2/mode manual") << QString();
    QTest::newRow("all off") << QByteArray("1/set ON;4/set ON;all_off/set ") << 0
                             << QByteArray("4/state OFF") << QString();
    QTest::newRow("automatic without times")
        << QByteArray("5/on_time/set 07:00:00;5/mode/set auto") << 0 << QByteArray("5/mode manual")
        << ChannelControl::refusalText();
    QTest::newRow("00:00:00 is no time")
        << QByteArray("5/on_time/set 07:00:00;5/off_time/set 08:00:00;5/on_time/set "
                      "00:00:00;5/mode/set auto")
        << 0 << QByteArray("5/on_time ") << ChannelControl::refusalText();
    QTest::newRow("kept by the broker")
        << QByteArray("kept:3/set ON") << 0 << QByteArray("3/state OFF") << u"retain"_s;
    // As a stale command is cleared; for a time, an empty payload would clear it too.
    QTest::newRow("retained while connected")
        << QByteArray("3/on_time/set 07:00:00;retained:3/on_time/set ") << 0
        << QByteArray("3/on_time 07:00:00") << u"retain"_s;
    QTest::newRow("65 bytes") << "3/set " + QByteArray(65, 'O') << 0 << QByteArray("3/state OFF")
                              << u"65-baidist"_s;
    QTest::newRow("lower case") << QByteArray("3/set on") << 0 << QByteArray("3/state OFF")
                                << u"\"on\" ei ole"_s;
    QTest::newRow("not UTF-8") << QByteArray("3/set \xff\xfe") << 0 << QByteArray("3/state OFF")
                               << u"\"\\xff\\xfe\""_s;
    for (const char *channel : {"0", "9", "03", "x"})
        QTest::addRow("channel %s", channel)
            << QByteArray(channel) + "/set ON" << 0 << QByteArray("3/state OFF") << u"kanalit"_s;
    for (const char *time : {"24:00:00", "07:30", "7:30:00", "07:30:00 "})
        QTest::addRow("time \"%s\"", time) << "3/on_time/set " + QByteArray(time) << 0
                                           << QByteArray("3/on_time ") << u"HH:MM:SS"_s;
}

void tst_MqttBridge::commands()
{
    QFETCH(QByteArray, commands);
    QFETCH(int, outputs);
    QFETCH(QByteArray, shows);
    QFETCH(QString, error);

    static int run = 0;
    BridgeRig rig(QByteArray("commands" + QByteArray::number(++run)).constData(), m_broker.port());
    const auto topic = [&rig](QByteArray name) {
        return rig.topic(name.startsWith("all_off") ? name : "channel/" + name);
    };
    const auto send = [&](bool kept) {
        for (const QByteArray &command : commands.split(';')) {
            const qsizetype space = command.indexOf(' ');
            const QByteArrayList how = command.left(space).split(':');
            if ((how.value(0) == "kept") == kept)
                rig.probe->publish(topic(how.last()), command.mid(space + 1), how.size() > 1);
        }
    };
    send(true);
    rig.start();
    QVERIFY(rig.shows("status", "online"));
    send(false);
    // Commands are carried out in the order they come, so once this one shows, all have; and
    // the bridge went on after what it refused.
    rig.probe->publish(rig.topic("channel/8/set"), "ON");
    QVERIFY(rig.shows("channel/8/state", "ON"));

    const qsizetype space = shows.indexOf(' ');
    QCOMPARE(rig.probe->last(topic(shows.left(space))), shows.mid(space + 1));
    QCOMPARE(rig.outputs(), quint8(outputs | 0x80));
    const QList<QByteArray> errors = rig.probe->payloads(rig.topic("error"));
    QCOMPARE(errors.size(), error.isEmpty() ? 0 : 1);
    QVERIFY2(error.isEmpty() || QString::fromUtf8(errors[0]).contains(error), errors.value(0));
    // Every change is published once.
    QMap<QString, QByteArray> shown;
    for (const BrokerProbe::Message &message : rig.probe->messages()) {
        if (message.topic.endsWith(u"set"_s) || message.topic.endsWith(u"error"_s))
            continue;
        QVERIFY2(shown.value(message.topic, "none") != message.payload, qPrintable(message.topic));
        shown[message.topic] = message.payload;
    }
}

void tst_MqttBridge::linkFailure()
{
    BridgeRig rig("link", m_broker.port());
    rig.start();
    const auto link = [&rig] { return QJsonDocument::fromJson(rig.last("link")).object(); };
    QVERIFY(soon([&] { return link()[u"ok"_s].toBool(); }));
    QCOMPARE(link()[u"device"_s].toString(), u"/dev/relay1"_s);

    // What the board's problem sensor shows.
    rig.port.linesFail = true;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"port 1 failed"_s));
    rig.channels.WriteRelays();
    QVERIFY(soon([&] { return !link()[u"ok"_s].toBool(true); }));
    QCOMPARE(link()[u"error"_s].toString(), u"port 1 failed"_s);
    rig.port.linesFail = false;
    rig.channels.WriteRelays();
    QVERIFY(soon([&] { return link()[u"ok"_s].toBool(); }));
}

void tst_MqttBridge::brokerRestart()
{
    BridgeRig rig("restart", m_broker.port(), false);
    rig.start();
    QSignalSpy connection(rig.bridge.get(), &MqttBridge::connectionChanged);
    QVERIFY(connection.wait());

    m_broker.stop();
    QVERIFY(connection.wait());
    QCOMPARE(connection[1][0].toBool(), false);
    rig.channels.switchManually(3, true);
    QVERIFY(m_broker.start());
    // The broker kept nothing: what it shows again came from the bridge.
    rig.listen();
    QVERIFY(rig.shows("status", "online"));
    QCOMPARE(rig.last("channel/3/state"), "ON");
    QCOMPARE(rig.last("channel/1/state"), "OFF");
    QCOMPARE(connection.last()[0].toBool(), true);
    rig.probe->publish(rig.topic("channel/3/set"), "OFF");
    QVERIFY(soon([&rig] { return rig.outputs() == 0; }));

    // A program that ends says so too.
    rig.bridge.reset();
    QVERIFY(rig.shows("status", "offline"));
}

void tst_MqttBridge::access_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("ca");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("refusal"); // a part of it; none when it connects

    const QByteArray password(MosquittoBroker::kPassword);
    QTest::newRow("its CA, the password")
        << u"localhost"_s << u"ca.crt"_s << password << true << QString();
    QTest::newRow("wrong password")
        << u"localhost"_s << u"ca.crt"_s << QByteArray("salasõna") << true << u"authorized"_s;
    QTest::newRow("another CA") << u"localhost"_s << u"other-ca.crt"_s << password << true
                                << u"certificate verify failed"_s;
    QTest::newRow("host not in the certificate")
        << u"127.0.0.1"_s << u"ca.crt"_s << password << true << u"nimele 127.0.0.1"_s;
    QTest::newRow("broker down") << u"localhost"_s << u"ca.crt"_s << password << false
                                 << u"keeldus"_s;
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
    BridgeRig rig("access", broker.port(), false);
    rig.settings.host = host;
    rig.settings.tls = true;
    rig.settings.caFile = broker.path(ca);
    rig.settings.username = QLatin1String(MosquittoBroker::kUser);
    rig.settings.password = password;
    rig.start();
    QSignalSpy connection(rig.bridge.get(), &MqttBridge::connectionChanged);
    QVERIFY(connection.wait());
    QCOMPARE(connection[0][0].toBool(), refusal.isNull());
    QVERIFY2(
        connection[0][1].toString().contains(refusal), qPrintable(connection[0][1].toString()));
}

void tst_MqttBridge::programs_data()
{
    QTest::addColumn<QString>("program");

    QTest::newRow("window program") << QStringLiteral(RELVOOG_PROGRAM);
    QTest::newRow("service") << QStringLiteral(RELVOOGD);
}

void tst_MqttBridge::programs()
{
    QFETCH(QString, program);

    QTemporaryDir folder;
    const QString settings = folder.filePath(u"relvoog.conf"_s);
    QVERIFY(writeFile(settings,
        "[mqtt]\nhost=127.0.0.1\ntopic=test/program\nport=" + QByteArray::number(m_broker.port())));
    BridgeRig rig("program", m_broker.port());
    PseudoTerminal ports[2];
    // The service serves on a bus too.
    PrivateBus bus;
    if (bus.address().isEmpty() && program == QLatin1String(RELVOOGD))
        QSKIP("no dbus-daemon for the service");
    QProcessEnvironment environment = bus.environment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program,
        {u"--port1"_s, ports[0].slave(), u"--port2"_s, ports[1].slave(), u"--config"_s, settings,
            u"--state"_s, folder.filePath(u"state.conf"_s)});
    QVERIFY(rig.shows("status", "online"));
    rig.probe->publish(rig.topic("channel/3/set"), "ON");
    QVERIFY(rig.shows("channel/3/state", "ON"));

    // The will.
    ::kill(pid_t(process.processId()), SIGKILL);
    QVERIFY(rig.shows("status", "offline"));
    process.waitForFinished();
}

QTEST_GUILESS_MAIN(tst_MqttBridge)
#include "tst_mqttbridge.moc"
