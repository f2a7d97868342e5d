// SPDX-License-Identifier: MIT
#include "PseudoTerminal.h"
#include "TraceLog.h"
#include "VirtualBoard.h"
#include "VirtualBoardTestMain.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// What the other virtual board tests stand on: the emulator decodes frames as the board does,
// raises and drops the lines as the kernel does, keeps programs off the machine's serial ports,
// and its launcher runs a program on it. Its faults are met where the program meets them.
class tst_VirtualBoard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void frames_data();
    void frames();
    void guardRefusesSerialPorts();
    void launcherShowsOutputs();

private:
    QTemporaryDir m_dir;
};

namespace {
// No device has this name: should the guard fail, the kernel still finds nothing to open.
const QString kNoSuchSerialPort = u"/dev/ttyS-virtualboard-test"_s;

bool setLine(int fd, bool on, int line)
{
    return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

// A relay frame made by hand: channel 8's bit first, then the strobe.
bool shiftFrame(int fd, quint8 outputs, bool releaseRtsFirst)
{
    bool ok = !releaseRtsFirst || setLine(fd, false, TIOCM_RTS);
    for (int channel = 8; ok && channel >= 1; --channel)
        ok = setLine(fd, outputs >> (channel - 1) & 1, TIOCM_DTR) && setLine(fd, true, TIOCM_RTS)
            && setLine(fd, false, TIOCM_RTS);
    return ok && ::write(fd, "a", 1) == 1;
}
} // namespace

void tst_VirtualBoard::initTestCase()
{
    if (!VirtualBoard::isLoaded())
        QSKIP(VirtualBoard::notLoadedReason());
    QVERIFY(m_dir.isValid());
}

void tst_VirtualBoard::frames_data()
{
    QTest::addColumn<bool>("releaseRtsFirst");
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("latched");

    // Channel 8, shifted first, at its end, and no two halves alike.
    QTest::newRow("channels 1, 3, 4, 6 and 8 on") << true << 0xad << 0xad;
    // Opening raised DTR and RTS: channel 8's clock has no rising edge, and the opening's own
    // edge shifted in a 1 in its place.
    QTest::newRow("RTS left high at open") << false << 0x00 << 0x80;
}

void tst_VirtualBoard::frames()
{
    QFETCH(bool, releaseRtsFirst);
    QFETCH(int, frame);
    QFETCH(int, latched);

    PseudoTerminal pty;
    const int fd = ::open(pty.slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    int lines = 0;
    QVERIFY(::ioctl(fd, TIOCMGET, &lines) == 0 && (lines & TIOCM_DTR) && (lines & TIOCM_RTS));
    QVERIFY(shiftFrame(fd, quint8(frame), releaseRtsFirst));
    // Closed at once: only the close's own wait lets the strobe leave the transmitter.
    QCOMPARE(::close(fd), 0);

    const virtualboard_state state = VirtualBoard::state(pty.slave());
    QCOMPARE(state.latches, 1);
    QCOMPARE(VirtualBoard::outputWord(state.outputs), VirtualBoard::outputWord(latched));
    QVERIFY2(!state.dtr && !state.rts, "the last close hangs up");
}

void tst_VirtualBoard::guardRefusesSerialPorts()
{
    QVERIFY(!QFileInfo::exists(kNoSuchSerialPort));
    const QString alias = m_dir.filePath(u"ttyRelay0"_s);
    const QString tracePath = m_dir.filePath(u"guard.trace"_s);
    QVERIFY(
        VirtualBoard::control(u"trace %1; map %2 %3"_s.arg(tracePath, alias, kNoSuchSerialPort)));
    // Asked for directly, and through a mapping.
    for (const QString &path : {kNoSuchSerialPort, alias}) {
        errno = 0;
        QCOMPARE(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY), -1);
        QCOMPARE(errno, ENOENT);
    }
    QVERIFY(VirtualBoard::control(u"trace; unmap "_s + alias));

    const TraceLog trace(tracePath);
    for (const QString &path : {kNoSuchSerialPort, alias})
        QVERIFY2(!trace.events(path).isEmpty() && trace.events(path).last().name == u"guard"_s,
            qPrintable(path + u" was not refused by the guard"_s));
}

void tst_VirtualBoard::launcherShowsOutputs()
{
    // A port under a made-up name, so that nothing here could reach a real serial port even if
    // the redirection failed.
    const QString port = m_dir.filePath(u"ttyRelay1"_s);
    const QString live = m_dir.filePath(u"live.txt"_s);
    QProcess run;
    run.setEnvironment(QProcess::systemEnvironment() << u"VIRTUALBOARD_LIVE="_s + live);
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(VirtualBoard::launcherPath(),
        {u"--port"_s, port, u"--"_s, QCoreApplication::applicationFilePath(),
            u"--virtualboard-frame"_s, port, u"0x0b"_s});
    QVERIFY(run.waitForFinished(20000) && run.exitStatus() == QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 0);

    QFile file(live);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // After the time of day: one line, the port and its outputs, channel 1 first.
    QCOMPARE(QString::fromLocal8Bit(file.readAll()).mid(int(sizeof "12:00:00.000")),
        port + u"  1:ON  2:ON  3:off 4:ON  5:off 6:off 7:off 8:off\n"_s);
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoard)
#include "tst_virtualboard.moc"
