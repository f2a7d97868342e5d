// SPDX-License-Identifier: MIT
#include "StartOptions.h"

#include <QtTest>

Q_DECLARE_METATYPE(StartOptions::Action)
Q_DECLARE_METATYPE(StartOptions::Program)

// What the program is started with: its options, its settings file, and where it remembers the
// channels. Each case has its own home, configuration and state folders.
class tst_StartOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void parse_data();
    void parse();
    void readmeExample();
    void everyListedOptionWorks_data();
    void everyListedOptionWorks();
    void service_data();
    void service();
    void unreadableSettings_data();
    void unreadableSettings();

private:
    static StartOptions::Action parse(StartOptions &options, const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_home;
};

void tst_StartOptions::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(QStringLiteral("config"))));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_home->filePath(QStringLiteral("state"))));
}

StartOptions::Action tst_StartOptions::parse(StartOptions &options, const QStringList &arguments)
{
    return options.parse(QStringList {QStringLiteral("relvoog")} + arguments,
        {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1")});
}

void tst_StartOptions::parse_data()
{
    // Paths start with HOME/, the case's own folder.
    QTest::addColumn<QByteArray>("settings"); // none when empty
    QTest::addColumn<bool>("viaConfig"); // --config names it, or it is in the default place
    QTest::addColumn<bool>("stateHome"); // XDG_STATE_HOME is set
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<bool>("restore");
    QTest::addColumn<QString>("statePath");
    QTest::addColumn<QString>("language"); // empty: the system's languages choose

    const QByteArray settings("[ports]\nport1=/dev/ttyACM0\nport2=/dev/ttyACM1\n\n"
                              "[General]\nrestore=true\nlanguage=en\n");
    const QStringList usb {QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1")};
    const QStringList acm {QStringLiteral("/dev/ttyACM0"), QStringLiteral("/dev/ttyACM1")};
    const QString byId = QStringLiteral("/dev/serial/by-id/usb-FTDI_X-if00-port0");

    QTest::newRow("nothing given") << QByteArray() << false << true << QStringList() << usb << false
                                   << QStringLiteral("HOME/state/relvoog/ttyUSB0.conf") << "";
    QTest::newRow("a by-id name")
        << QByteArray() << false << true << QStringList {QStringLiteral("--port1"), byId}
        << QStringList {byId, usb[1]} << false
        << QStringLiteral("HOME/state/relvoog/serial%2Fby-id%2Fusb-FTDI_X-if00-port0.conf") << "";
    QTest::newRow("a name outside /dev/")
        << QByteArray() << false << true
        << QStringList {QStringLiteral("--port1"), QStringLiteral("/run/relay board~1")}
        << QStringList {QStringLiteral("/run/relay board~1"), usb[1]} << false
        << QStringLiteral("HOME/state/relvoog/%2Frun%2Frelay%20board~1.conf") << "";
    QTest::newRow("no XDG_STATE_HOME")
        << QByteArray() << false << false << QStringList {} << usb << false
        << QStringLiteral("HOME/.local/state/relvoog/ttyUSB0.conf") << "";
    QTest::newRow("--state and --restore")
        << QByteArray() << false << true
        << QStringList {QStringLiteral("--state"), QStringLiteral("HOME/mine.conf"),
               QStringLiteral("--restore")}
        << usb << true << QStringLiteral("HOME/mine.conf") << "";
    QTest::newRow("the settings file") << settings << false << true << QStringList() << acm << true
                                       << QStringLiteral("HOME/state/relvoog/ttyACM0.conf") << "en";
    QTest::newRow("--config") << settings << true << true << QStringList() << acm << true
                              << QStringLiteral("HOME/state/relvoog/ttyACM0.conf") << "en";
    QTest::newRow("the command line wins over the file")
        << settings << false << true
        << QStringList {QStringLiteral("--port1"), QStringLiteral("COM3"),
               QStringLiteral("--language"), QStringLiteral("et")}
        << QStringList {QStringLiteral("COM3"), acm[1]} << true
        << QStringLiteral("HOME/state/relvoog/COM3.conf") << "et";
}

void tst_StartOptions::parse()
{
    QFETCH(QByteArray, settings);
    QFETCH(bool, viaConfig);
    QFETCH(bool, stateHome);
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, devices);
    QFETCH(bool, restore);
    QFETCH(QString, statePath);
    QFETCH(QString, language);

    const QString home = m_home->path() + QLatin1Char('/');
    if (!stateHome)
        qunsetenv("XDG_STATE_HOME");
    if (!settings.isEmpty()) {
        const QString path = viaConfig ? home + QStringLiteral("elsewhere.conf")
                                       : home + QStringLiteral("config/relvoog/relvoog.conf");
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(settings) == settings.size());
        if (viaConfig)
            arguments << QStringLiteral("--config") << path;
    }
    arguments.replaceInStrings(QStringLiteral("HOME/"), home);

    StartOptions options;
    QCOMPARE(parse(options, arguments), StartOptions::Action::Run);
    QCOMPARE(options.devices(), devices);
    QCOMPARE(options.restore(), restore);
    QCOMPARE(options.statePath(), statePath.replace(QStringLiteral("HOME/"), home));
    QCOMPARE(options.language(), LanguageChoice::fromName(language));
}

void tst_StartOptions::readmeExample()
{
    // The settings file as README.md shows it, and its values as a reader takes them: by line.
    QFile readme(QStringLiteral(RELVOOG_README));
    QVERIFY(readme.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString text = QString::fromUtf8(readme.readAll());
    const QRegularExpression block(
        QStringLiteral("```ini\n(.*?)```"), QRegularExpression::DotMatchesEverythingOption);
    const QString example = block.match(text).captured(1);
    QVERIFY2(!example.isEmpty(), "README.md has no ```ini example");
    const auto value = [&example](const char *key) {
        const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QLatin1String(key)),
            QRegularExpression::MultilineOption);
        return line.match(example).captured(1);
    };
    const QString path = m_home->filePath(QStringLiteral("readme.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(example.toUtf8()) > 0);
    file.close();

    StartOptions options;
    QCOMPARE(parse(options, {QStringLiteral("--config"), path}), StartOptions::Action::Run);
    QCOMPARE(options.devices(), QStringList({value("port1"), value("port2")}));
    QVERIFY(!value("restore").isEmpty());
    QCOMPARE(options.restore(), value("restore") == QStringLiteral("true"));
}

void tst_StartOptions::everyListedOptionWorks_data()
{
    QTest::addColumn<QStringList>("arguments");

    StartOptions options;
    QCOMPARE(parse(options, {QStringLiteral("--help")}), StartOptions::Action::ShowHelp);
    // One option a line, its long name last: "  -h, --help  Displays this help."
    const QRegularExpression option(QStringLiteral("^  (?:-[a-z], )?(--[a-z0-9-]+)( <[a-z]+>)?"),
        QRegularExpression::MultilineOption);
    for (auto match = option.globalMatch(options.message()); match.hasNext();) {
        const auto found = match.next();
        QStringList arguments {found.captured(1)};
        if (found.hasCaptured(2))
            arguments << QStringLiteral("value");
        QTest::newRow(qPrintable(found.captured(1))) << arguments;
    }
}

void tst_StartOptions::everyListedOptionWorks()
{
    QFETCH(QStringList, arguments);

    // Each makes the program do something else than it does without it.
    const auto outcome = [](const QStringList &arguments) {
        StartOptions options;
        const auto action = parse(options, arguments);
        return QStringList {QString::number(int(action)), options.message(),
            options.devices().join(QLatin1Char(' ')), QString::number(options.restore()),
            options.statePath()};
    };
    QVERIFY(outcome(arguments) != outcome({}));
}

void tst_StartOptions::service_data()
{
    // Paths start with HOME/, the case's own folder.
    QTest::addColumn<QString>("stateDirectory"); // as systemd sets it; none when empty
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<StartOptions::Action>("action");
    QTest::addColumn<QString>("statePath");
    QTest::addColumn<bool>("systemBus");

    QTest::newRow("a user's service") << "" << QStringList() << StartOptions::Action::Run
                                      << "HOME/state/relvoog/ttyUSB0.conf" << false;
    QTest::newRow("systemd's state folders")
        << "HOME/var:HOME/other" << QStringList {QStringLiteral("--system")}
        << StartOptions::Action::Run << "HOME/var/state.conf" << true;
    QTest::newRow("--restore is the window's") << "" << QStringList {QStringLiteral("--restore")}
                                               << StartOptions::Action::Refuse << "" << false;
}

void tst_StartOptions::service()
{
    QFETCH(QString, stateDirectory);
    QFETCH(QStringList, arguments);
    QFETCH(StartOptions::Action, action);
    QFETCH(QString, statePath);
    QFETCH(bool, systemBus);

    const QString home = m_home->path() + QLatin1Char('/');
    qputenv("STATE_DIRECTORY",
        QFile::encodeName(stateDirectory.replace(QStringLiteral("HOME/"), home)));
    const auto unset = qScopeGuard([] { qunsetenv("STATE_DIRECTORY"); });
    StartOptions options(StartOptions::Program::Service);
    QCOMPARE(parse(options, arguments.replaceInStrings(QStringLiteral("HOME/"), home)), action);
    if (action != StartOptions::Action::Run)
        return;
    // Nobody is there to set the channels again after a restart.
    QVERIFY(options.restore());
    QCOMPARE(options.statePath(), statePath.replace(QStringLiteral("HOME/"), home));
    QCOMPARE(options.systemBus(), systemBus);
}

void tst_StartOptions::unreadableSettings_data()
{
    QTest::addColumn<StartOptions::Program>("program");
    QTest::addColumn<StartOptions::Action>("action");

    // The window goes on with the default ports, which it shows; the service could be driving a
    // board it was not meant for, out of sight.
    QTest::newRow("window") << StartOptions::Program::Window << StartOptions::Action::Run;
    QTest::newRow("service") << StartOptions::Program::Service << StartOptions::Action::Refuse;
}

void tst_StartOptions::unreadableSettings()
{
    QFETCH(StartOptions::Program, program);
    QFETCH(StartOptions::Action, action);

    // A section never closed: Qt reads on, and tells a format error only the first time.
    const QString path = m_home->filePath(QStringLiteral("broken.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[ports\nport1=/dev/ttyACM0\n") > 0);
    file.close();
    StartOptions options(program);
    // Parsed twice, as the programs do before and after choosing the language.
    for (int parsing = 1; parsing <= 2; ++parsing) {
        QCOMPARE(parse(options, {QStringLiteral("--config"), path}), action);
        const QString told
            = action == StartOptions::Action::Run ? options.settingsProblem() : options.message();
        QVERIFY2(told.contains(path), qPrintable(QStringLiteral("parse %1").arg(parsing)));
        if (action == StartOptions::Action::Run)
            QCOMPARE(options.devices().constFirst(), QStringLiteral("/dev/ttyUSB0"));
    }
}

QTEST_GUILESS_MAIN(tst_StartOptions)
#include "tst_startoptions.moc"
