// SPDX-License-Identifier: MIT
#include "TerminationSignals.h"

#include <QtTest>

#include <cerrno>
#include <csignal>

// A termination signal as the code it interrupts meets it.
class tst_TerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void keepsErrno();
};

void tst_TerminationSignals::keepsErrno()
{
    TerminationSignals terminations;
    QSignalSpy received(&terminations, &TerminationSignals::received);
    // More than the wake-up pipe holds, so that the handler's own write fails too, as in a
    // program flooded with signals while its event loop is busy.
    constexpr int kMoreThanAPipeHolds = 70000;
    int changed = 0;
    for (int i = 0; i < kMoreThanAPipeHolds; ++i) {
        errno = EDOM;
        ::raise(SIGTERM);
        changed += errno != EDOM;
    }
    QCOMPARE(changed, 0);
    QTRY_VERIFY(!received.isEmpty());
}

QTEST_GUILESS_MAIN(tst_TerminationSignals)
#include "tst_terminationsignals.moc"
