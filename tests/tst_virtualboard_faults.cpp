#include "PortHolder.h"
#include "RealPortRig.h"
#include "VirtualBoardTestMain.h"

#include <QDir>
#include <QtTest>

#include <memory>

// The real serial component under the faults a real port meets: missing, held by another
// process, unplugged and plugged back, and a drain that never completes. The program must not
// hang or flood its log, the first tick after a recovery must relatch the board, and no
// descriptor may be left behind.
class tst_VirtualBoardFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void faultDuringTicks_data();
    void faultDuringTicks();
};

namespace {
// A regression into an unbounded wait then shows as a stall the library counts, without
// holding the test for the kernel's 30 s.
const QString kStallLimit = QStringLiteral("stall-ms 300");

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}


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

    constexpr int kTicks = 100;
    QVERIFY(VirtualBoard::control(kStallLimit));
    RealPortRig rig;
    rig.channels.load();
    rig.receiveAll();
    const int descriptorsBefore = openDescriptors();

    {
        Fault trouble(rig, fault);
        QVERIFY2(trouble.set(), qPrintable(trouble.error()));
        const qint64 latchesAtFault = rig.state(1).latches;
        // One warning when frames start failing, and nothing for the ticks that follow.
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
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

        trouble.clear();
        const qint64 latches = rig.state(1).latches;
        QTest::ignoreMessage(
            QtInfoMsg, QRegularExpression(QStringLiteral("relay frames reach port 1")));
        rig.clock.tick();
        QCOMPARE(rig.state(1).latches, latches + 1);
        QCOMPARE(rig.latchedWord(1), rig.shownWord());
    }

    // Nothing waited on a queue that never empties: the library counts every such wait.
    QCOMPARE(rig.state(1).stalls, 0);
    QCOMPARE(openDescriptors(), descriptorsBefore);
}

VIRTUALBOARD_TEST_MAIN(tst_VirtualBoardFaults)
#include "tst_virtualboard_faults.moc"
