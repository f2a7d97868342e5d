// SPDX-License-Identifier: MIT
#include "DeviceClaim.h"
#include "OpenWatch.h"
#include "RelayBoard.h"
#include "SystemConsoles.h"
#include "TtyPort.h"

#include <QtTest>

#include <cstring>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
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
    void claimFollowsThePortInUse_data();
    void claimFollowsThePortInUse();
    void consoleIsNeverOpened_data();
    void consoleIsNeverOpened();
    void systemConsolesReadsTheKernelsLists_data();
    void systemConsolesReadsTheKernelsLists();

private:
    static int openDescriptors();
    // Whether another process could claim the device now.
    static bool claimableElsewhere(const QString &device);

    int m_masters[2] = {-1, -1};
    QString m_slaves[2];
};

void tst_TtyPort::initTestCase()
{
    for (int i = 0; i < 2; ++i) {
        m_masters[i] = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_masters[i] < 0 || ::grantpt(m_masters[i]) != 0 || ::unlockpt(m_masters[i]) != 0)
            QSKIP("this machine gives no two pseudo-terminals");
        m_slaves[i] = QString::fromLocal8Bit(::ptsname(m_masters[i]));
    }
}

void tst_TtyPort::cleanupTestCase()
{
    for (int master : m_masters)
        if (master >= 0)
            ::close(master);
}

int tst_TtyPort::openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

bool tst_TtyPort::claimableElsewhere(const QString &device)
{
    const pid_t child = ::fork();
    if (child == 0) {
        DeviceClaim claim;
        ::_exit(claim.claim(device) == DeviceClaim::Result::Claimed ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void tst_TtyPort::openingFails_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<quint16>("portNumber");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text"); // %1: the system's words for the code

    const QString notOpened = QStringLiteral("Seadet %1 ei saa avada: %2.");
    QTest::newRow("missing device") << "/nonexistent/ttyRelvoog" << quint16(1) << ENOENT
                                    << notOpened.arg(QStringLiteral("/nonexistent/ttyRelvoog"));
    QTest::newRow("not a terminal")
        << "/dev/null" << quint16(1) << ENOTTY << notOpened.arg(QStringLiteral("/dev/null"));
    // The dialog's "---": nothing is missing, nothing was chosen.
    QTest::newRow("no port chosen")
        << "/dev/null" << quint16(0) << 0 << QStringLiteral("Porti ei ole valitud.");
}

void tst_TtyPort::openingFails()
{
    QFETCH(QString, device);
    QFETCH(quint16, portNumber);
    QFETCH(int, code);
    QFETCH(QString, text);

    TtyPort port({device});
    port.setPortNumber(portNumber);
    QVERIFY(!port.open());
    QCOMPARE(port.error().reason, LinkError::Reason::OpenFailed);
    QCOMPARE(port.error().code, code);
    // As the window shows it: a sentence with the device and the system's words.
    QCOMPARE(port.error().text, text.arg(QString::fromLocal8Bit(std::strerror(code))));
}

void tst_TtyPort::frameOnALineWithoutModemControlFailsAndCloses()
{
    // A pseudo-terminal has no modem-control lines, as an adapter that has gone away has none.
    RelayBoard board(
        std::make_unique<TtyPort>(QStringList {m_slaves[0]}), RelayBoard::Threading::Inline);
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    // The claim is taken with the port, not with the frame.
    board.setPortNumber(1);
    const int before = openDescriptors();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ebaõnnestus.*RTS")));
    board.write(RelayStates());
    const auto error = written.value(0).value(2).value<LinkError>();
    QCOMPARE(error.reason, LinkError::Reason::LineFailed);
    QVERIFY2(error.text.startsWith(
                 QStringLiteral("Seadme %1 liini RTS ei saa seada: ").arg(m_slaves[0])),
        qPrintable(error.text));
    QCOMPARE(openDescriptors(), before);
    // Nothing was latched, and the port is free for the next frame.
    char received[8];
    QCOMPARE(::read(m_masters[0], received, sizeof received), ssize_t(-1));
    QVERIFY(board.port().open());
    board.port().close();
}

void tst_TtyPort::deviceHeldElsewhereIsRefused()
{
    // Exclusive mode belongs to the terminal, so another program's descriptor shows it.
    const int elsewhere = ::open(QFile::encodeName(m_slaves[0]).constData(), O_RDWR | O_NOCTTY);
    QVERIFY(elsewhere >= 0);
    const auto exclusive = [elsewhere] {
        int set = -1;
        return ::ioctl(elsewhere, TIOCGEXCL, &set) == 0 && set;
    };
    TtyPort holder({m_slaves[0]});
    QVERIFY(holder.open());
    QVERIFY(exclusive());
    TtyPort other({m_slaves[0]});
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

void tst_TtyPort::claimFollowsThePortInUse_data()
{
    QTest::addColumn<QList<quint16>>("portsInUse"); // in the order they are chosen
    QTest::addColumn<bool>("otherCopyOnPort2"); // another process holds port 2's claim
    QTest::addColumn<bool>("portTwoTaken"); // port 2's claim is this board's in the end

    QTest::newRow("port 1") << QList<quint16> {1} << false << false;
    QTest::newRow("moved to port 2, port 1 let go") << QList<quint16> {1, 2} << false << true;
    QTest::newRow("back to port 1, port 2 let go") << QList<quint16> {1, 2, 1} << false << false;
    QTest::newRow("port 2 is another copy's") << QList<quint16> {1, 2} << true << false;
}

void tst_TtyPort::claimFollowsThePortInUse()
{
    QFETCH(QList<quint16>, portsInUse);
    QFETCH(bool, otherCopyOnPort2);
    QFETCH(bool, portTwoTaken);

    // The other copy is a child process that claims port 2 and waits.
    RelayBoard board(std::make_unique<TtyPort>(QStringList {m_slaves[0], m_slaves[1]}),
        RelayBoard::Threading::Inline);
    // Ends with the case, however it ends, so that no claim outlives the test.
    struct Child
    {
        pid_t pid = -1;
        void end()
        {
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
            pid = -1;
        }
        ~Child() { end(); }
    } other;
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    if (otherCopyOnPort2) {
        other.pid = ::fork();
        if (other.pid == 0) {
            DeviceClaim claim;
            const char done = claim.claim(m_slaves[1]) == DeviceClaim::Result::Claimed;
            [[maybe_unused]] auto written = ::write(ready[1], &done, 1);
            ::pause();
            ::_exit(0);
        }
        char done = 0;
        QCOMPARE(::read(ready[0], &done, 1), ssize_t(1));
        QVERIFY(done);
    }
    ::close(ready[0]);
    ::close(ready[1]);
    LinkError last;
    for (quint16 number : portsInUse)
        last = board.setPortNumber(number);
    other.end();

    // A board another copy drives is refused, and its frames never touch it.
    QCOMPARE(last.reason == LinkError::Reason::Claimed, otherCopyOnPort2);
    // What another process finds: the port left is free, the port in use is not.
    QCOMPARE(claimableElsewhere(m_slaves[0]), board.portNumber() != 1);
    QCOMPARE(claimableElsewhere(m_slaves[1]), !portTwoTaken);
}

void tst_TtyPort::consoleIsNeverOpened_data()
{
    QTest::addColumn<std::optional<QStringList>>("consoles");
    QTest::addColumn<bool>("throughLink"); // the port is named by a link, as in /dev/serial/by-id
    QTest::addColumn<bool>("refused");

    const auto none = std::make_optional(QStringList());
    const auto thePort
        = std::make_optional(QStringList {QStringLiteral("tty0"), m_slaves[0].mid(5)});
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
    QVERIFY(QFile::link(m_slaves[0], link));
    TtyPort port({throughLink ? link : m_slaves[0]}, [&] { return consoles; });
    OpenWatch watch(m_slaves[0]);

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
