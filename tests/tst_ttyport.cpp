#include "DeviceClaim.h"
#include "OpenWatch.h"
#include "RelayBoard.h"
#include "SystemConsoles.h"
#include "TtyPort.h"

#include <QtTest>

#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The real serial component on pseudo-terminals; never on a machine's serial ports.
class tst_TtyPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void openingFails_data();
    void openingFails();
    void frameOnALineWithoutModemControlFailsAndCloses();
    void deviceHeldElsewhereIsRefused();
    void consoleIsNeverOpened_data();
    void consoleIsNeverOpened();
    void systemConsolesReadsTheKernelsLists_data();
    void systemConsolesReadsTheKernelsLists();

private:
    static int openDescriptors();

    int m_master = -1;
    QString m_slave;
    int m_secondMaster = -1;
    QString m_secondSlave;
};

void tst_TtyPort::initTestCase()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        QSKIP("this machine gives no pseudo-terminal");
    m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    m_secondMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_secondMaster < 0 || ::grantpt(m_secondMaster) != 0 || ::unlockpt(m_secondMaster) != 0)
        QSKIP("this machine gives only one pseudo-terminal");
    m_secondSlave = QString::fromLocal8Bit(::ptsname(m_secondMaster));
    // A claim stays with the process, so the descriptor counts below leave it out.
    QVERIFY(DeviceClaim::claim(m_slave) && DeviceClaim::claim(m_secondSlave));
}

void tst_TtyPort::cleanupTestCase()
{
    for (int master : {m_master, m_secondMaster})
        if (master >= 0)
            ::close(master);
}

int tst_TtyPort::openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

void tst_TtyPort::openingFails_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<int>("code");

    QTest::newRow("missing device") << "/nonexistent/ttyRelvoog" << ENOENT;
    QTest::newRow("not a terminal") << "/dev/null" << ENOTTY;
}

void tst_TtyPort::openingFails()
{
    QFETCH(QString, device);
    QFETCH(int, code);

    TtyPort port({device});
    QVERIFY(!port.open());
    QCOMPARE(port.error().reason, LinkError::Reason::OpenFailed);
    QCOMPARE(port.error().code, code);
    // As the window shows it: the device, and the system's words.
    QCOMPARE(port.error().text,
        device + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(code)));
}

void tst_TtyPort::frameOnALineWithoutModemControlFailsAndCloses()
{
    // A pseudo-terminal has no modem-control lines, as an adapter that has gone away has none.
    RelayBoard board(
        std::make_unique<TtyPort>(QStringList {m_slave}), RelayBoard::Threading::Inline);
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    const int before = openDescriptors();
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed.*RTS")));
    board.write(RelayStates(), RelayBoard::Frame::Manual);
    const auto error = written.value(0).value(2).value<LinkError>();
    QCOMPARE(error.reason, LinkError::Reason::LineFailed);
    QVERIFY2(error.text.startsWith(m_slave + QStringLiteral(": RTS: ")), qPrintable(error.text));
    QCOMPARE(openDescriptors(), before);
    // Nothing was latched, and the port is free for the next frame.
    char received[8];
    QCOMPARE(::read(m_master, received, sizeof received), ssize_t(-1));
    QVERIFY(board.port().open());
    board.port().close();
}

void tst_TtyPort::deviceHeldElsewhereIsRefused()
{
    // Exclusive mode belongs to the terminal, so another program's descriptor shows it.
    const int elsewhere = ::open(QFile::encodeName(m_slave).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(elsewhere >= 0);
    const auto exclusive = [elsewhere] {
        int set = -1;
        return ::ioctl(elsewhere, TIOCGEXCL, &set) == 0 && set;
    };
    TtyPort holder({m_slave});
    QVERIFY(holder.open());
    QVERIFY(exclusive());
    TtyPort other({m_slave});
    QVERIFY(!other.open());
    QCOMPARE(other.error().code, EBUSY);
    holder.close();
    // Released with the frame, or the next frame would find the port busy while any other
    // program has it open.
    QVERIFY(!exclusive());
    QVERIFY(other.open());
    other.close();
    ::close(elsewhere);
}

void tst_TtyPort::consoleIsNeverOpened_data()
{
    QTest::addColumn<std::optional<QStringList>>("consoles");
    QTest::addColumn<bool>("throughLink"); // the port is named by a link, as in /dev/serial/by-id
    QTest::addColumn<bool>("refused");

    const auto none = std::make_optional(QStringList());
    const auto thePort = std::make_optional(QStringList {QStringLiteral("tty0"), m_slave.mid(5)});
    QTest::newRow("no console") << none << false << false;
    QTest::newRow("console list unreadable") << std::optional<QStringList>() << false << false;
    QTest::newRow("the port is a console") << thePort << false << true;
    QTest::newRow("a link to a console") << thePort << true << true;
    QTest::newRow("a link to a port that is no console") << none << true << false;
}

void tst_TtyPort::consoleIsNeverOpened()
{
    QFETCH(std::optional<QStringList>, consoles);
    QFETCH(bool, throughLink);
    QFETCH(bool, refused);

    QTemporaryDir links;
    const QString link = links.filePath(QStringLiteral("usb-Relay_Board-if00"));
    QVERIFY(QFile::link(m_slave, link));
    TtyPort port({throughLink ? link : m_slave}, [&] { return consoles; });
    OpenWatch watch(m_slave);

    // Refused at every opening, and never touched.
    for (int frame = 0; frame < 2; ++frame) {
        QCOMPARE(port.open(), !refused);
        port.close();
    }
    QCOMPARE(watch.openings() == 0, refused);
    if (refused)
        QCOMPARE(port.error().reason, LinkError::Reason::ConsoleRefused);
}

void tst_TtyPort::systemConsolesReadsTheKernelsLists_data()
{
    QTest::addColumn<QByteArray>("procConsoles"); // "-": the file cannot be read
    QTest::addColumn<QByteArray>("active");
    QTest::addColumn<std::optional<QStringList>>("names");

    QTest::newRow("serial console")
        << QByteArray("ttyS0                -W- (EC  p a)    4:64\n") << QByteArray("ttyS0\n")
        << std::make_optional(QStringList {QStringLiteral("ttyS0")});
    QTest::newRow("neither readable")
        << QByteArray("-") << QByteArray("-") << std::optional<QStringList>();
}

void tst_TtyPort::systemConsolesReadsTheKernelsLists()
{
    QFETCH(QByteArray, procConsoles);
    QFETCH(QByteArray, active);
    QFETCH(std::optional<QStringList>, names);

    QTemporaryDir dir;
    const auto file = [&](const QString &name, const QByteArray &content) {
        const QString path = dir.filePath(name);
        if (content != "-") {
            QFile out(path);
            if (out.open(QIODevice::WriteOnly))
                out.write(content);
        }
        return path;
    };
    QCOMPARE(systemConsoles(file(QStringLiteral("consoles"), procConsoles),
                 file(QStringLiteral("active"), active)),
        names);
}

QTEST_GUILESS_MAIN(tst_TtyPort)
#include "tst_ttyport.moc"
