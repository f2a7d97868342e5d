// SPDX-License-Identifier: MIT
#include "Files.h"
#include "StartOptions.h"

#include <QtTest>

using namespace Qt::StringLiterals;

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
    void service();
    void unreadableSettings();

private:
    static StartOptions::Action parse(StartOptions &options, const QStringList &arguments);

    std::unique_ptr<QTemporaryDir> m_home;
};

void tst_StartOptions::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", QFile::encodeName(m_home->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home->filePath(u"config"_s)));
    qputenv("XDG_STATE_HOME", QFile::encodeName(m_home->filePath(u"state"_s)));
}

StartOptions::Action tst_StartOptions::parse(StartOptions &options, const QStringList &arguments)
{
    return options.parse(
        QStringList {u"relvoog"_s} + arguments, {u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s});
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
    const QStringList usb {u"/dev/ttyUSB0"_s, u"/dev/ttyUSB1"_s};
    const QStringList acm {u"/dev/ttyACM0"_s, u"/dev/ttyACM1"_s};
    const QString byId = u"/dev/serial/by-id/usb-FTDI_X-if00-port0"_s;

    QTest::newRow("nothing given") << QByteArray() << false << true << QStringList() << usb << false
                                   << u"HOME/state/relvoog/ttyUSB0.conf"_s << "";
    QTest::newRow("a by-id name")
        << QByteArray() << false << true << QStringList {u"--port1"_s, byId}
        << QStringList {byId, usb[1]} << false
        << u"HOME/state/relvoog/serial%2Fby-id%2Fusb-FTDI_X-if00-port0.conf"_s << "";
    QTest::newRow("no XDG_STATE_HOME")
        << QByteArray() << false << false << QStringList {} << usb << false
        << u"HOME/.local/state/relvoog/ttyUSB0.conf"_s << "";
    QTest::newRow("--state and --restore")
        << QByteArray() << false << true
        << QStringList {u"--state"_s, u"HOME/mine.conf"_s, u"--restore"_s} << usb << true
        << u"HOME/mine.conf"_s << "";
    QTest::newRow("the settings file") << settings << false << true << QStringList() << acm << true
                                       << u"HOME/state/relvoog/ttyACM0.conf"_s << "en";
    QTest::newRow("--config") << settings << true << true << QStringList() << acm << true
                              << u"HOME/state/relvoog/ttyACM0.conf"_s << "en";
    QTest::newRow("the command line wins over the file")
        << settings << false << true
        << QStringList {u"--port1"_s, u"COM3"_s, u"--language"_s, u"et"_s}
        << QStringList {u"COM3"_s, acm[1]} << true << u"HOME/state/relvoog/COM3.conf"_s << "et";
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
        const QString path
            = home + (viaConfig ? u"elsewhere.conf"_s : u"config/relvoog/relvoog.conf"_s);
        QVERIFY(writeFile(path, settings));
        if (viaConfig)
            arguments << u"--config"_s << path;
    }
    arguments.replaceInStrings(u"HOME/"_s, home);

    StartOptions options;
    QCOMPARE(parse(options, arguments), StartOptions::Action::Run);
    QCOMPARE(options.devices(), devices);
    QCOMPARE(options.restore(), restore);
    QCOMPARE(options.statePath(), statePath.replace(u"HOME/"_s, home));
    QCOMPARE(options.language(), LanguageChoice::fromName(language));
}

void tst_StartOptions::readmeExample()
{
    // The settings file as README.md shows it, and its values as a reader takes them: by line.
    const QString example
        = QRegularExpression(u"```ini\n(.*?)```"_s, QRegularExpression::DotMatchesEverythingOption)
              .match(QString::fromUtf8(readFile(QStringLiteral(RELVOOG_README))))
              .captured(1);
    const auto value = [&example](const QString &key) {
        return QRegularExpression(u"^%1=(.*)$"_s.arg(key), QRegularExpression::MultilineOption)
            .match(example)
            .captured(1);
    };
    const QString path = m_home->filePath(u"readme.conf"_s);
    QVERIFY(writeFile(path, example.toUtf8()));

    StartOptions options;
    QCOMPARE(parse(options, {u"--config"_s, path}), StartOptions::Action::Run);
    QCOMPARE(options.devices(), QStringList({value(u"port1"_s), value(u"port2"_s)}));
    QVERIFY(options.restore() && value(u"restore"_s) == u"true"_s);
    QCOMPARE(options.language(), LanguageChoice::fromName(value(u"language"_s)));
}

void tst_StartOptions::service()
{
    // systemd passes the unit's state folders on, the first one first. The rest of the service's
    // options are met where the service runs (tst_relvoogd).
    const QString home = m_home->path();
    qputenv("STATE_DIRECTORY", QFile::encodeName(home + u"/var:"_s + home + u"/other"_s));
    const auto unset = qScopeGuard([] { qunsetenv("STATE_DIRECTORY"); });
    StartOptions options(StartOptions::Program::Service);
    QCOMPARE(parse(options, {u"--system"_s}), StartOptions::Action::Run);
    // Nobody is there to set the channels again after a restart.
    QVERIFY(options.restore());
    QCOMPARE(options.statePath(), home + u"/var/state.conf"_s);
    QVERIFY(options.systemBus());
    QCOMPARE(parse(options, {u"--restore"_s}), StartOptions::Action::Refuse);
}

void tst_StartOptions::unreadableSettings()
{
    // A section never closed: Qt reads on, and tells a format error only the first time. The
    // window goes on with the default ports, which it shows; the service refuses (tst_relvoogd).
    const QString path = m_home->filePath(u"broken.conf"_s);
    QVERIFY(writeFile(path, "[ports\nport1=/dev/ttyACM0\n"));
    StartOptions options;
    // Parsed twice, as the programs do before and after choosing the language.
    for (int parsing = 1; parsing <= 2; ++parsing) {
        QCOMPARE(parse(options, {u"--config"_s, path}), StartOptions::Action::Run);
        QVERIFY2(options.settingsProblem().contains(path), qPrintable(u"parse %1"_s.arg(parsing)));
        QCOMPARE(options.devices().constFirst(), u"/dev/ttyUSB0"_s);
    }
}

QTEST_GUILESS_MAIN(tst_StartOptions)
#include "tst_startoptions.moc"
