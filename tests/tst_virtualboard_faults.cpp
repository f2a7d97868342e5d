#include "PortHolder.h"
#include "RealPortRig.h"
#include "VirtualBoardTestMain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

// The real serial component under the faults a real port meets: missing, held by another
// process, unplugged and plugged back, and a drain that never completes; the soak adds a port
// held exclusively and an adapter that drops output at close.
// The program must not crash or flood its log, each tick must stay short, the first tick after
// a recovery must relatch the board, and no descriptor or lock file may be left behind.
class tst_VirtualBoardFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void faultDuringTicks_data();
    void faultDuringTicks();
    void soakAcrossAllFaults();
};

namespace {
// A regression into an unbounded wait then shows as a stall the library counts, without
// holding the test for the kernel's 30 s.
const QString kStallLimit = QStringLiteral("stall-ms 300");

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

QStringList lockFilesLeft(const RealPortRig &rig)
{
    QStringList left;
    for (const PseudoTerminal &pty : rig.ptys)
        for (const QString &dir : {QStringLiteral("/var/lock/"), QStringLiteral("/tmp/")})
            if (QFile::exists(dir + pty.lockFileName()))
                left << dir + pty.lockFileName();
    return left;
}

// Counts what the program logs, and passes it on to the test's own handler.
class MessageCounter
{
public:
    MessageCounter()
    {
        s_counter = this;
        m_previous = qInstallMessageHandler(&MessageCounter::handle);
    }
    ~MessageCounter()
    {
        qInstallMessageHandler(m_previous);
        s_counter = nullptr;
    }
    int warnings = 0;
    int infos = 0;
    int others = 0;
    int total() const { return warnings + infos + others; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (s_counter) {
            if (type == QtWarningMsg)
                ++s_counter->warnings;
            else if (type == QtInfoMsg)
                ++s_counter->infos;
            else
                ++s_counter->others;
            if (s_counter->m_previous && s_counter->total() <= 20)
                s_counter->m_previous(type, context, text);
        }
    }
    static MessageCounter *s_counter;
    QtMessageHandler m_previous = nullptr;
};
MessageCounter *MessageCounter::s_counter = nullptr;

// A fault switched on and off on port 1, whichever way it is made.
class Fault
{
public:
    Fault(RealPortRig &rig, QString fault)
        : m_rig(rig)
        , m_fault(std::move(fault))
    { }
    ~Fault() { clear(); }

    bool set()
    {
        if (m_fault == QLatin1String("held")) {
            m_holder = std::make_unique<PortHolder>();
            if (!m_holder->start(m_rig.device(1))) {
                m_error = m_holder->error();
                return false;
            }
            return true;
        }
        return VirtualBoard::control(QStringLiteral("fault %1 %2").arg(m_rig.device(1), m_fault));
    }
    void clear()
    {
        if (m_holder)
            m_holder->stop();
        m_holder.reset();
        VirtualBoard::control(QStringLiteral("fault %1 none").arg(m_rig.device(1)));
    }
    QString error() const { return m_error; }

private:
    RealPortRig &m_rig;
    QString m_fault;
    QString m_error;
    std::unique_ptr<PortHolder> m_holder;
};

// Durations of ticks, for the figures a run prints.
struct TickTimes
{
    qint64 maxNs = 0;
    qint64 totalNs = 0;
    int ticks = 0;
    void add(qint64 ns)
    {
        maxNs = qMax(maxNs, ns);
        totalNs += ns;
        ++ticks;
    }
    double maxMs() const { return double(maxNs) / 1e6; }
    double meanMs() const { return ticks ? double(totalNs) / ticks / 1e6 : 0; }
};
} // namespace

void tst_VirtualBoardFaults::initTestCase()
{
    if (!VirtualBoard::isLoaded())
        QSKIP(VirtualBoard::notLoadedReason());
    QVERIFY(PseudoTerminal().isValid());
}

void tst_VirtualBoardFaults::cleanup()
{
    VirtualBoard::control(QStringLiteral("stall-ms 30000"));
}

void tst_VirtualBoardFaults::faultDuringTicks_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("framesBeforeFault");

    QTest::newRow("port missing") << QStringLiteral("missing") << 0;
    QTest::newRow("port held by another process") << QStringLiteral("held") << 0;
    QTest::newRow("unplugged after 5 frames, then replugged")
        << QStringLiteral("unplug-after 5") << 5;
    QTest::newRow("drain never completes") << QStringLiteral("wedge") << 0;
}

void tst_VirtualBoardFaults::faultDuringTicks()
{
    QFETCH(QString, fault);
    QFETCH(int, framesBeforeFault);

    constexpr int kTicks = 300;
    QVERIFY(VirtualBoard::control(kStallLimit));
    RealPortRig rig;
    rig.channels.load();
    rig.receiveAll();
    const int descriptorsBefore = openDescriptors();

    {
        MessageCounter messages;
        Fault trouble(rig, fault);
        QVERIFY2(trouble.set(), qPrintable(trouble.error()));
        const qint64 latchesAtFault = rig.state(1).latches;
        for (int tick = 0; tick < kTicks; ++tick) {
            // The user keeps switching while the board cannot follow.
            if (tick % 50 == 25)
                rig.channels.manualSwitch(tick / 50 + 1);
            rig.now = rig.now.addMSecs(10);
            rig.clock.tick();
            rig.receiveAll();
            if (tick < framesBeforeFault)
                QCOMPARE(rig.latchedWord(1), rig.shownWord());
        }
        QCOMPARE(rig.state(1).latches, latchesAtFault + framesBeforeFault);
        // One warning when frames start failing, and nothing for the hundreds that follow.
        QCOMPARE(messages.warnings, 1);
        QCOMPARE(messages.total(), 1);

        trouble.clear();
        const qint64 latches = rig.state(1).latches;
        rig.clock.tick();
        QCOMPARE(rig.state(1).latches, latches + 1);
        QCOMPARE(rig.latchedWord(1), rig.shownWord());
        QCOMPARE(messages.infos, 1);
        QCOMPARE(messages.total(), 2);
    }

    // Nothing waited on a queue that never empties: the library counts every such wait.
    QCOMPARE(rig.state(1).stalls, 0);
    QCOMPARE(openDescriptors(), descriptorsBefore);
    QCOMPARE(lockFilesLeft(rig), QStringList());
}

void tst_VirtualBoardFaults::soakAcrossAllFaults()
{
    // ctest runs a short soak; VIRTUALBOARD_SOAK_FRAMES=100000 runs the long one by hand.
    const int frames = qEnvironmentVariableIsSet("VIRTUALBOARD_SOAK_FRAMES")
        ? qEnvironmentVariableIntValue("VIRTUALBOARD_SOAK_FRAMES")
        : 10000;
    struct Phase
    {
        QString fault;
        int ticks;
    };
    const QList<Phase> cycle {
        {QString(), 300},
        {QStringLiteral("missing"), 50},
        {QString(), 50},
        {QStringLiteral("held"), 50},
        {QString(), 50},
        {QStringLiteral("busy"), 50},
        {QString(), 50},
        {QStringLiteral("unplug-after 20"), 80},
        {QString(), 50},
        {QStringLiteral("wedge"), 50},
        {QString(), 50},
        {QStringLiteral("close-drops"), 100},
    };

    QVERIFY(VirtualBoard::control(kStallLimit));
    QElapsedTimer run;
    run.start();
    RealPortRig rig;
    rig.channels.load();
    rig.receiveAll();
    const int descriptorsBefore = openDescriptors();
    MessageCounter messages;
    QMap<QString, TickTimes> times;
    int done = 0;
    int episodes = 0;
    int relatched = 0;
    qint64 checkedFrames = 0;

    for (int phase = 0; done < frames; phase = (phase + 1) % int(cycle.size())) {
        const Phase &step = cycle[phase];
        // A fault whose frames still reach the board is no failure episode.
        const bool failing = !step.fault.isEmpty() && step.fault != QLatin1String("close-drops");
        std::unique_ptr<Fault> trouble;
        if (!step.fault.isEmpty()) {
            trouble = std::make_unique<Fault>(rig, step.fault);
            QVERIFY2(trouble->set(), qPrintable(trouble->error()));
        }
        const QString kind = step.fault.isEmpty() ? QStringLiteral("none") : step.fault;
        for (int tick = 0; tick < step.ticks && done < frames; ++tick, ++done) {
            if (done % 37 == 0)
                rig.channels.manualSwitch(done / 37 % 8 + 1);
            rig.now = rig.now.addMSecs(10);
            const qint64 latches = rig.state(1).latches;
            QElapsedTimer elapsed;
            elapsed.start();
            rig.clock.tick();
            times[kind].add(elapsed.nsecsElapsed());
            rig.receiveAll();
            if (!failing) {
                QCOMPARE(rig.state(1).latches, latches + 1);
                QCOMPARE(rig.latchedWord(1), rig.shownWord());
                ++checkedFrames;
            }
        }
        if (trouble) {
            trouble->clear();
            if (failing) {
                ++episodes;
                const qint64 latches = rig.state(1).latches;
                rig.clock.tick();
                ++done;
                QCOMPARE(rig.state(1).latches, latches + 1);
                QCOMPARE(rig.latchedWord(1), rig.shownWord());
                ++relatched;
            }
        }
    }

    const int descriptorsAfter = openDescriptors();
    const QStringList locks = lockFilesLeft(rig);
    const virtualboard_state board = rig.state(1);
    std::printf("  frames %d in %.1f s: %lld latched, %lld checked against the window, "
                "%d failure episodes, %d relatched by the first tick after\n",
        done, double(run.elapsed()) / 1000, board.latches, checkedFrames, episodes, relatched);
    std::printf("  descriptors before %d, after %d; lock files left %d; stalls %lld; "
                "messages %d (%d warnings, %d infos)\n",
        descriptorsBefore, descriptorsAfter, int(locks.size()), board.stalls, messages.total(),
        messages.warnings, messages.infos);
    for (auto it = times.cbegin(); it != times.cend(); ++it)
        std::printf("  tick under %-16s %6d ticks, longest %6.2f ms, mean %.3f ms\n",
            qPrintable(it.key()), it->ticks, it->maxMs(), it->meanMs());
    std::fflush(stdout);

    QCOMPARE(descriptorsAfter, descriptorsBefore);
    QCOMPARE(locks, QStringList());
    QCOMPARE(board.stalls, 0);
    // One warning as an episode starts and one note as it ends; nothing per frame.
    QCOMPARE(messages.warnings, episodes);
    QCOMPARE(messages.infos, episodes);
    QCOMPARE(messages.others, 0);
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoardFaults)
#include "tst_virtualboard_faults.moc"
