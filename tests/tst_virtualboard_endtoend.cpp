// SPDX-License-Identifier: MIT
#include "Files.h"
#include "RealPortRig.h"
#include "VirtualBoardTestMain.h"

#include <QDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The program's commands and tick on the real serial component, with the virtual board on two
// pseudo-terminals: after every frame the board's latched outputs must be the states shown. Under
// the faults a real port meets (missing, held by another program, unplugged and plugged back, a
// drain that never completes) the program must not hang or flood its log, the first tick after
// a recovery must relatch the board, and no descriptor may be left behind.
class tst_VirtualBoardEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void manualSwitches();
    void faultDuringTicks_data();
    void faultDuringTicks();
    void cleanup();
};

// After a frame: one more latch on the port, holding what the window shows.
#define VERIFY_FRAME(rig, portNumber, latchesBefore)                                               \
    do {                                                                                           \
        QCOMPARE((rig).state(portNumber).latches, (latchesBefore) + 1);                            \
        QCOMPARE((rig).latchedWord(portNumber), (rig).shownWord());                                \
    } while (false)

namespace {
// A regression into an unbounded wait then shows as a stall the library counts, without
// holding the test for the kernel's 30 s.
const QString kStallLimit = u"stall-ms 300"_s;
} // namespace

void tst_VirtualBoardEndToEnd::initTestCase()
{
    if (!VirtualBoard::isLoaded())
        QSKIP(VirtualBoard::notLoadedReason());
    QVERIFY(PseudoTerminal().isValid());
}

void tst_VirtualBoardEndToEnd::manualSwitches()
{
    RealPortRig rig;
    // An adapter that drops unsent output at close, where the kernel would wait for it.
    QVERIFY(VirtualBoard::control(u"fault %1 close-drops"_s.arg(rig.device(1))));
    rig.channels.load();
    VERIFY_FRAME(rig, 1, 0);
    QCOMPARE(rig.view.portLabel, u"1"_s);

    // Each end of the frame alone, then every channel on, then two off again.
    for (int channel : {1, 8, 2, 3, 4, 5, 6, 7, 4, 5}) {
        qint64 latches = rig.state(1).latches;
        rig.channels.manualSwitch(channel);
        VERIFY_FRAME(rig, 1, latches);

        // The next tick rewrites the same frame.
        latches = rig.state(1).latches;
        rig.clock.tick();
        VERIFY_FRAME(rig, 1, latches);
    }
    QCOMPARE(rig.latchedWord(1), u"11100111"_s);
    QCOMPARE(rig.state(1).dropped, 0);
    QCOMPARE(rig.ptys[0].received(), QByteArray(21, 'a'));
    QVERIFY(VirtualBoard::control(u"fault %1 none"_s.arg(rig.device(1))));

    // The port as the board needs it: 9600 baud 8N1, no flow control, and no wait for a carrier
    // the board never raises.
    // Set again at the next frame after another program changed them.
    for (const bool changedBetween : {false, true}) {
        if (changedBetween) {
            const int other = ::open(qPrintable(rig.device(1)), O_RDWR | O_NOCTTY | O_NONBLOCK);
            QVERIFY(other != -1);
            termios settings {};
            QCOMPARE(::tcgetattr(other, &settings), 0);
            settings.c_cflag
                = (settings.c_cflag & ~tcflag_t(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
            ::cfsetospeed(&settings, B1200);
            QCOMPARE(::tcsetattr(other, TCSANOW, &settings), 0);
            ::close(other);
            QCOMPARE(rig.state(1).baud, 1200u);
            rig.clock.tick();
        }
        const virtualboard_state state = rig.state(1);
        QCOMPARE(state.baud, 9600u);
        QCOMPARE(state.controlFlags & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL),
            unsigned(CS8 | CLOCAL));
    }
}

void tst_VirtualBoardEndToEnd::cleanup()
{
    VirtualBoard::control(u"stall-ms 30000"_s);
}

void tst_VirtualBoardEndToEnd::faultDuringTicks_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("framesBeforeFault");

    QTest::newRow("port missing") << u"missing"_s << 0;
    QTest::newRow("port held by another program") << u"held"_s << 0;
    QTest::newRow("unplugged after 5 frames, then replugged") << u"unplug-after 5"_s << 5;
    QTest::newRow("drain never completes") << u"wedge"_s << 0;
}

void tst_VirtualBoardEndToEnd::faultDuringTicks()
{
    QFETCH(QString, fault);
    QFETCH(int, framesBeforeFault);

    constexpr int kTicks = 100;
    QVERIFY(VirtualBoard::control(kStallLimit));
    RealPortRig rig;
    rig.channels.load();
    rig.receiveAll();
    const int descriptorsBefore = openDescriptors();

    {
        // Another program holds the port as we do while a frame is under way.
        const QByteArray device = QFile::encodeName(rig.device(1));
        const int holder = fault == u"held"_s ? ::open(device.constData(), O_RDWR | O_NOCTTY) : -1;
        if (holder != -1)
            QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
        else
            QVERIFY(VirtualBoard::control(u"fault %1 %2"_s.arg(rig.device(1), fault)));
        const qint64 latchesAtFault = rig.state(1).latches;
        // One warning when frames start failing, and nothing for the ticks that follow.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(u"kirjutamine ebaõnnestus"_s));
        QTest::failOnWarning(QRegularExpression(u"."_s));
        for (int tick = 0; tick < kTicks; ++tick) {
            // The user keeps switching while the board cannot follow.
            if (tick % 20 == 10)
                rig.channels.manualSwitch(tick / 20 + 1);
            rig.now = rig.now.addMSecs(10);
            rig.clock.tick();
            rig.receiveAll();
            if (tick < framesBeforeFault)
                QCOMPARE(rig.latchedWord(1), rig.shownWord());
        }
        QCOMPARE(rig.state(1).latches, latchesAtFault + framesBeforeFault);

        if (holder != -1)
            ::close(holder);
        VirtualBoard::control(u"fault %1 none"_s.arg(rig.device(1)));
        const qint64 latches = rig.state(1).latches;
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression(u"Port 1 vastab taas"_s));
        rig.clock.tick();
        QCOMPARE(rig.state(1).latches, latches + 1);
        QCOMPARE(rig.latchedWord(1), rig.shownWord());
    }

    // Nothing waited on a queue that never empties: the library counts every such wait.
    QCOMPARE(rig.state(1).stalls, 0);
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoardEndToEnd)
#include "tst_virtualboard_endtoend.moc"
