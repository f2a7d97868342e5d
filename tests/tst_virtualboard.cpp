#include "PseudoTerminal.h"
#include "TraceLog.h"
#include "VirtualBoard.h"
#include "VirtualBoardTestMain.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

// The virtual board library on its own, at the level of system calls: it must behave as the
// kernel does for a real port, decode frames as the board does, and leave everything else alone.
class tst_VirtualBoard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void linesAtOpenAndLastClose_data();
    void linesAtOpenAndLastClose();
    void modemRequestsAnsweredFromItsState();
    void decodesFrames_data();
    void decodesFrames();
    void strobeAtClose_data();
    void strobeAtClose();
    void otherDescriptorsUntouched_data();
    void otherDescriptorsUntouched();
    void faults_data();
    void faults();
    void redirectionAndGuard();
    void traceIsMachineReadable();
    void launcherShowsOutputsLive_data();
    void launcherShowsOutputsLive();

private:
    static int openSlave(const PseudoTerminal &pty);
    static int lines(int fd);
    static bool setLines(int fd, unsigned long request, int bits);
    static bool shiftFrame(int fd, quint8 outputs, bool releaseRtsFirst);

    QTemporaryDir m_dir;
};

using Frame = quint8;

int tst_VirtualBoard::openSlave(const PseudoTerminal &pty)
{
    return ::open(pty.slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
}

int tst_VirtualBoard::lines(int fd)
{
    int bits = -1;
    return ::ioctl(fd, TIOCMGET, &bits) == 0 ? bits & (TIOCM_DTR | TIOCM_RTS) : -1;
}

bool tst_VirtualBoard::setLines(int fd, unsigned long request, int bits)
{
    return ::ioctl(fd, request, &bits) == 0;
}

// The wire sequence of a relay frame, made by hand: channel 8's bit first, then the strobe.
bool tst_VirtualBoard::shiftFrame(int fd, quint8 outputs, bool releaseRtsFirst)
{
    bool ok = !releaseRtsFirst || setLines(fd, TIOCMBIC, TIOCM_RTS);
    for (int channel = 8; channel >= 1; --channel) {
        ok = ok && setLines(fd, (outputs >> (channel - 1) & 1) ? TIOCMBIS : TIOCMBIC, TIOCM_DTR);
        ok = ok && setLines(fd, TIOCMBIS, TIOCM_RTS) && setLines(fd, TIOCMBIC, TIOCM_RTS);
    }
    return ok && ::write(fd, "a", 1) == 1;
}

void tst_VirtualBoard::initTestCase()
{
    if (!VirtualBoard::isLoaded())
        QSKIP(VirtualBoard::notLoadedReason());
    QVERIFY(m_dir.isValid());
    QVERIFY(PseudoTerminal().isValid());
}

void tst_VirtualBoard::cleanup()
{
    VirtualBoard::control(QStringLiteral("trace; stall-ms 30000; guard /dev/ttyS /dev/console"));
}

void tst_VirtualBoard::linesAtOpenAndLastClose_data()
{
    QTest::addColumn<bool>("hangUpOnClose");
    QTest::addColumn<int>("linesAfterClose");

    QTest::newRow("HUPCL set, as a serial port starts") << true << 0;
    QTest::newRow("HUPCL cleared") << false << int(TIOCM_DTR);
}

void tst_VirtualBoard::linesAtOpenAndLastClose()
{
    QFETCH(bool, hangUpOnClose);
    QFETCH(int, linesAfterClose);

    PseudoTerminal pty;
    const int first = openSlave(pty);
    QVERIFY(first >= 0);
    QCOMPARE(lines(first), TIOCM_DTR | TIOCM_RTS);

    termios settings {};
    QCOMPARE(::tcgetattr(first, &settings), 0);
    QVERIFY2(settings.c_cflag & HUPCL, "a serial port reports HUPCL until it is cleared");
    if (!hangUpOnClose) {
        settings.c_cflag &= ~tcflag_t(HUPCL);
        QCOMPARE(::tcsetattr(first, TCSANOW, &settings), 0);
    }
    QVERIFY(setLines(first, TIOCMBIC, TIOCM_RTS));

    // Only the last close hangs up.
    const int second = openSlave(pty);
    QVERIFY(second >= 0);
    QVERIFY(setLines(second, TIOCMBIC, TIOCM_RTS));
    QCOMPARE(::close(second), 0);
    QCOMPARE(VirtualBoard::state(pty.slave()).dtr, 1);
    QCOMPARE(::close(first), 0);

    const virtualboard_state after = VirtualBoard::state(pty.slave());
    QCOMPARE((after.dtr ? TIOCM_DTR : 0) | (after.rts ? TIOCM_RTS : 0), linesAfterClose);
    QCOMPARE(after.openDescriptors, 0);
}

void tst_VirtualBoard::modemRequestsAnsweredFromItsState()
{
    PseudoTerminal pty;
    const int fd = openSlave(pty);
    QVERIFY(fd >= 0);
    QVERIFY(setLines(fd, TIOCMSET, 0));
    QCOMPARE(lines(fd), 0);
    QVERIFY(setLines(fd, TIOCMBIS, TIOCM_DTR));
    QCOMPARE(lines(fd), TIOCM_DTR);
    QVERIFY(setLines(fd, TIOCMSET, TIOCM_RTS));
    QCOMPARE(lines(fd), TIOCM_RTS);
    QVERIFY(setLines(fd, TIOCMBIC, TIOCM_RTS | TIOCM_DTR));
    QCOMPARE(lines(fd), 0);
    ::close(fd);
}

void tst_VirtualBoard::decodesFrames_data()
{
    QTest::addColumn<Frame>("previous");
    QTest::addColumn<Frame>("frame");
    QTest::addColumn<bool>("releaseRtsFirst");
    QTest::addColumn<Frame>("latched");

    QTest::newRow("all off after all on") << Frame(0xff) << Frame(0x00) << true << Frame(0x00);
    QTest::newRow("only channel 1 on") << Frame(0x00) << Frame(0x01) << true << Frame(0x01);
    QTest::newRow("only channel 8 on") << Frame(0x00) << Frame(0x80) << true << Frame(0x80);
    // RTS raised at open takes the first pulse's rising edge, and the opening's own edge shifts
    // in the DTR it raised: channel 8's bit is lost and a 1 takes its stage.
    QTest::newRow("RTS left high: all off turns channel 8 on")
        << Frame(0x00) << Frame(0x00) << false << Frame(0x80);
}

void tst_VirtualBoard::decodesFrames()
{
    QFETCH(Frame, previous);
    QFETCH(Frame, frame);
    QFETCH(bool, releaseRtsFirst);
    QFETCH(Frame, latched);

    PseudoTerminal pty;
    for (const auto &[outputs, release] :
        {std::pair(previous, true), std::pair(frame, releaseRtsFirst)}) {
        const int fd = openSlave(pty);
        QVERIFY(fd >= 0);
        QVERIFY(shiftFrame(fd, outputs, release));
        QCOMPARE(::close(fd), 0);
    }
    const virtualboard_state state = VirtualBoard::state(pty.slave());
    QCOMPARE(state.latches, 2);
    QCOMPARE(VirtualBoard::outputWord(state.outputs), VirtualBoard::outputWord(latched));
    QCOMPARE(pty.received(), QByteArray("aa"));
}

void tst_VirtualBoard::strobeAtClose_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("waitForCharacter");
    QTest::addColumn<bool>("flushFirst");
    QTest::addColumn<bool>("latches");

    QTest::newRow("close waits for the character")
        << QStringLiteral("none") << false << false << true;
    QTest::newRow("adapter drops at close, closed at once")
        << QStringLiteral("close-drops") << false << false << false;
    QTest::newRow("adapter drops at close, character time waited")
        << QStringLiteral("close-drops") << true << false << true;
    QTest::newRow("adapter drops at flush")
        << QStringLiteral("close-drops") << false << true << false;
    QTest::newRow("flush after the character went")
        << QStringLiteral("close-drops") << true << true << true;
}

void tst_VirtualBoard::strobeAtClose()
{
    QFETCH(QString, fault);
    QFETCH(bool, waitForCharacter);
    QFETCH(bool, flushFirst);
    QFETCH(bool, latches);

    PseudoTerminal pty;
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 %2").arg(pty.slave(), fault)));
    const int fd = openSlave(pty);
    QVERIFY(fd >= 0);
    termios settings {};
    QCOMPARE(::tcgetattr(fd, &settings), 0);
    ::cfsetspeed(&settings, B9600);
    QCOMPARE(::tcsetattr(fd, TCSANOW, &settings), 0);
    QVERIFY(shiftFrame(fd, 0x81, true));
    if (waitForCharacter)
        QTest::qSleep(2); // two character times at 9600 baud
    if (flushFirst)
        QCOMPARE(::tcflush(fd, TCOFLUSH), 0);
    QCOMPARE(::close(fd), 0);

    const virtualboard_state state = VirtualBoard::state(pty.slave());
    QCOMPARE(state.latches, latches ? 1 : 0);
    QCOMPARE(state.dropped, latches ? 0 : 1);
}

void tst_VirtualBoard::otherDescriptorsUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("pipe") << QStringLiteral("pipe");
    QTest::newRow("regular file") << QStringLiteral("file");
    QTest::newRow("/dev/null") << QStringLiteral("null");
    QTest::newRow("pseudo-terminal master") << QStringLiteral("master");
    QTest::newRow("slave reached without open()") << QStringLiteral("peer");
}

void tst_VirtualBoard::otherDescriptorsUntouched()
{
    QFETCH(QString, kind);

    int fd = -1;
    int other = -1;
    int pipeEnds[2] = {-1, -1};
    if (kind == QLatin1String("pipe")) {
        QCOMPARE(::pipe(pipeEnds), 0);
        fd = pipeEnds[1];
        other = pipeEnds[0];
    } else if (kind == QLatin1String("file")) {
        fd = ::open(m_dir.filePath(QStringLiteral("plain")).toLocal8Bit().constData(),
            O_RDWR | O_CREAT, 0600);
    } else if (kind == QLatin1String("null")) {
        fd = ::open("/dev/null", O_RDWR);
    } else {
        other = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0 && ::grantpt(other) == 0 && ::unlockpt(other) == 0);
        if (kind == QLatin1String("master"))
            std::swap(fd, other);
        else
            fd = ::ioctl(other, TIOCGPTPEER, O_RDWR | O_NOCTTY);
    }
    QVERIFY(fd >= 0);

    // The kernel's own answer: none of these has modem lines.
    int bits = 0;
    errno = 0;
    QCOMPARE(::ioctl(fd, TIOCMGET, &bits), -1);
    QCOMPARE(errno, ENOTTY);
    bits = TIOCM_RTS;
    QCOMPARE(::ioctl(fd, TIOCMBIS, &bits), -1);
    QCOMPARE(errno, ENOTTY);
    QCOMPARE(::write(fd, "a", 1), ssize_t(1));
    QCOMPARE(::close(fd), 0);
    if (other >= 0)
        ::close(other);
}

void tst_VirtualBoard::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("framesBefore");
    QTest::addColumn<int>("openError");

    QTest::newRow("port missing") << QStringLiteral("missing") << 0 << ENOENT;
    QTest::newRow("held exclusively by another user") << QStringLiteral("busy") << 0 << EBUSY;
    QTest::newRow("unplugged now") << QStringLiteral("unplug") << 0 << ENOENT;
    QTest::newRow("unplugged after 3 frames") << QStringLiteral("unplug-after 3") << 3 << ENOENT;
}

void tst_VirtualBoard::faults()
{
    QFETCH(QString, fault);
    QFETCH(int, framesBefore);
    QFETCH(int, openError);

    PseudoTerminal pty;
    const int early = openSlave(pty);
    QVERIFY(early >= 0);
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 %2").arg(pty.slave(), fault)));
    for (int frame = 0; frame < framesBefore; ++frame) {
        const int fd = openSlave(pty);
        QVERIFY(fd >= 0);
        QVERIFY(shiftFrame(fd, quint8(frame + 1), true));
        QCOMPARE(::close(fd), 0);
    }

    errno = 0;
    QCOMPARE(openSlave(pty), -1);
    QCOMPARE(errno, openError);

    // A descriptor opened before an unplug meets a hung-up terminal.
    const bool unplugged = VirtualBoard::state(pty.slave()).unplugged;
    int bits = 0;
    errno = 0;
    QCOMPARE(::ioctl(early, TIOCMGET, &bits), unplugged ? -1 : 0);
    QCOMPARE(::write(early, "a", 1), unplugged ? ssize_t(-1) : ssize_t(1));
    if (unplugged)
        QCOMPARE(errno, EIO);
    QCOMPARE(::close(early), 0);
    QCOMPARE(VirtualBoard::state(pty.slave()).latches, qint64(framesBefore + (unplugged ? 0 : 1)));

    // Back again: a new adapter starts with its lines released, raised by the next open.
    QVERIFY(VirtualBoard::control(QStringLiteral("fault %1 none").arg(pty.slave())));
    const int fd = openSlave(pty);
    QVERIFY(fd >= 0);
    QCOMPARE(lines(fd), TIOCM_DTR | TIOCM_RTS);
    QVERIFY(shiftFrame(fd, 0xa5, true));
    QCOMPARE(::close(fd), 0);
    QCOMPARE(VirtualBoard::outputWord(VirtualBoard::state(pty.slave()).outputs),
        VirtualBoard::outputWord(0xa5));
}

void tst_VirtualBoard::redirectionAndGuard()
{
    PseudoTerminal pty;
    const QString alias = m_dir.filePath(QStringLiteral("ttyRelay0"));
    const QString guarded = m_dir.filePath(QStringLiteral("guarded"));
    QFile guardedFile(guarded);
    QVERIFY(guardedFile.open(QIODevice::WriteOnly));
    guardedFile.close();

    QVERIFY(VirtualBoard::control(
        QStringLiteral("map %1 %2; guard %3").arg(alias, pty.slave(), guarded)));
    const int fd = ::open(alias.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    QVERIFY(fd >= 0);
    QVERIFY(shiftFrame(fd, 0x3c, true));
    QCOMPARE(::close(fd), 0);
    QCOMPARE(VirtualBoard::state(alias).outputs, 0x3cu);
    QCOMPARE(VirtualBoard::state(pty.slave()).outputs, 0x3cu);

    // A guarded path is refused although it exists, and no mapping leads to one.
    errno = 0;
    QCOMPARE(::open(guarded.toLocal8Bit().constData(), O_RDONLY), -1);
    QCOMPARE(errno, ENOENT);
    QVERIFY(VirtualBoard::control(QStringLiteral("map %1 %2").arg(alias, guarded)));
    QCOMPARE(::open(alias.toLocal8Bit().constData(), O_RDONLY), -1);
    QVERIFY(VirtualBoard::control(QStringLiteral("unmap %1").arg(alias)));
}

void tst_VirtualBoard::traceIsMachineReadable()
{
    PseudoTerminal pty;
    const QString tracePath = m_dir.filePath(QStringLiteral("trace.txt"));
    QVERIFY(VirtualBoard::control(QStringLiteral("trace %1").arg(tracePath)));
    const QList<unsigned> frames {0x01, 0x80, 0xff, 0x00};
    for (unsigned outputs : frames) {
        const int fd = openSlave(pty);
        QVERIFY(fd >= 0);
        QVERIFY(shiftFrame(fd, quint8(outputs), true));
        QCOMPARE(::close(fd), 0);
    }
    QVERIFY(VirtualBoard::control(QStringLiteral("trace")));

    const TraceLog trace(tracePath);
    QCOMPARE(trace.latches(pty.slave()), frames);
    // open, the release of RTS, 8 x (DTR, RTS up, RTS down), the strobe, close
    QCOMPARE(trace.callsPerFrame(pty.slave()), QList<int>(frames.size(), 28));
    double last = 0;
    for (const TraceLog::Event &event : trace.events(pty.slave())) {
        QVERIFY2(event.time >= last, qPrintable(event.name));
        last = event.time;
    }
}

void tst_VirtualBoard::launcherShowsOutputsLive_data()
{
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QString>("shown");

    QTest::newRow("channels 2, 4, 5, 7 on") << QStringLiteral(
        "0x5a") << QStringLiteral("1:off 2:ON  3:off 4:ON  5:ON  6:off 7:ON  8:off");
    QTest::newRow("only channel 8 on") << QStringLiteral(
        "0x80") << QStringLiteral("1:off 2:off 3:off 4:off 5:off 6:off 7:off 8:ON");
}

void tst_VirtualBoard::launcherShowsOutputsLive()
{
    QFETCH(QString, bits);
    QFETCH(QString, shown);

    // Ports under made-up names, so that nothing here could reach a real serial port even if
    // the redirection failed.
    const QString port1 = m_dir.filePath(QStringLiteral("ttyRelay1"));
    const QString port2 = m_dir.filePath(QStringLiteral("ttyRelay2"));
    const QString live = m_dir.filePath(QStringLiteral("live-%1.txt").arg(bits));
    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("VIRTUALBOARD_LIVE"), live);
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(VirtualBoard::launcherPath(),
        {QStringLiteral("--port"), port1, QStringLiteral("--port"), port2, QStringLiteral("--"),
            QCoreApplication::applicationFilePath(), QStringLiteral("--virtualboard-frame"), port1,
            bits});
    QVERIFY(run.waitForFinished(20000));
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 0);

    QFile file(live);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines
        = QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines[0].contains(port1), qPrintable(lines[0]));
    QVERIFY2(lines[0].endsWith(shown), qPrintable(lines[0]));
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoard)
#include "tst_virtualboard.moc"
