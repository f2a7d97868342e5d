// SPDX-License-Identifier: MIT
#include "DeviceClaim.h"
#include "Files.h"
#include "OpenWatch.h"
#include "PseudoTerminal.h"
#include "RelayBoard.h"
#include "SystemConsoles.h"
#include "TtyPort.h"

#include <QtTest>

#include <cstring>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The real serial component on pseudo-terminals; never on a machine's serial ports.
class tst_TtyPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
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
    // Whether another process could claim the device now.
    static bool claimableElsewhere(const QString &device);

    PseudoTerminal m_ptys[2];
    const QString m_slaves[2] = {m_ptys[0].slave(), m_ptys[1].slave()};
};

void tst_TtyPort::initTestCase()
{
    if (!m_ptys[0].isValid() || !m_ptys[1].isValid())
        QSKIP("this machine gives no two pseudo-terminals");
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

    const QString notOpened = u"Seadet %1 ei saa avada: %2."_s;
    QTest::newRow("missing device") << "/nonexistent/ttyRelvoog" << quint16(1) << ENOENT
                                    << notOpened.arg(u"/nonexistent/ttyRelvoog"_s);
    QTest::newRow("not a terminal")
        << "/dev/null" << quint16(1) << ENOTTY << notOpened.arg(u"/dev/null"_s);
    // The dialog's "---": nothing is missing, nothing was chosen.
    QTest::newRow("no port chosen") << "/dev/null" << quint16(0) << 0 << u"Porti ei ole valitud."_s;
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
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"ebaõnnestus.*RTS"_s));
    board.write(RelayStates());
    const auto error = written.value(0).value(2).value<LinkError>();
    QCOMPARE(error.reason, LinkError::Reason::LineFailed);
    QVERIFY2(error.text.startsWith(u"Seadme %1 liini RTS ei saa seada: "_s.arg(m_slaves[0])),
        qPrintable(error.text));
    QCOMPARE(openDescriptors(), before);
    // Nothing was latched, and the port is free for the next frame.
    QCOMPARE(m_ptys[0].received(), QByteArray());
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
    // A board another copy drives is refused where the program meets it (tst_relvoog secondCopy).
    QTest::newRow("port 1") << QList<quint16> {1};
    QTest::newRow("moved to port 2, port 1 let go") << QList<quint16> {1, 2};
    QTest::newRow("back to port 1, port 2 let go") << QList<quint16> {1, 2, 1};
}

void tst_TtyPort::claimFollowsThePortInUse()
{
    QFETCH(QList<quint16>, portsInUse);

    RelayBoard board(std::make_unique<TtyPort>(QStringList {m_slaves[0], m_slaves[1]}),
        RelayBoard::Threading::Inline);
    for (quint16 number : portsInUse)
        QVERIFY(!board.setPortNumber(number).failed());

    // What another process finds: the port left is free, the port in use is not.
    QCOMPARE(claimableElsewhere(m_slaves[0]), board.portNumber() != 1);
    QCOMPARE(claimableElsewhere(m_slaves[1]), board.portNumber() != 2);
}

void tst_TtyPort::consoleIsNeverOpened_data()
{
    QTest::addColumn<std::optional<QStringList>>("consoles");
    QTest::addColumn<bool>("throughLink"); // the port is named by a link, as in /dev/serial/by-id
    QTest::addColumn<bool>("refused");

    const auto none = std::make_optional(QStringList());
    const auto thePort = std::make_optional(QStringList {u"tty0"_s, m_slaves[0].mid(5)});
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
    const QString link = links.filePath(u"usb-Relay_Board-if00"_s);
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
        << std::make_optional(QStringList {u"ttyS0"_s});
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
        return content == "-" || writeFile(path, content) ? path : QString();
    };
    QCOMPARE(systemConsoles(file(u"consoles"_s, procConsoles), file(u"active"_s, active)), names);
}

QTEST_GUILESS_MAIN(tst_TtyPort)
#include "tst_ttyport.moc"
