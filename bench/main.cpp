#include "Benchmark.h"
#include "ServiceRun.h"
#include "VirtualBoard.h"
#include "WindowRun.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], Benchmark::kSpinOption) == 0)
        return Benchmark::spin();
    if (argc == 2 && (qstrcmp(argv[1], "--help") == 0 || qstrcmp(argv[1], "-h") == 0)) {
        std::printf("Usage: relvoog-bench [--frames | --slow | --service]\n"
                    "Measures the frame, the window program and the service on the virtual "
                    "board, and prints each figure next to its target (bench/README.md).\n"
                    "  --frames   only the frame cost against a bare loop\n"
                    "  --slow     only the window on a slow and on a hanging adapter\n"
                    "  --service  only relvoogd: idle CPU, memory, relvoogctl to the latch\n");
        return 0;
    }

    // Started without the virtual board, the benchmark starts itself again with it preloaded.
    virtualBoardPrepare(argc, argv);
    if (!VirtualBoard::isLoaded()) {
        std::fprintf(stderr, "relvoog-bench: %s\n", VirtualBoard::notLoadedReason());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");

    if (argc == 5 && qstrcmp(argv[1], Benchmark::kWindowOption) == 0
        && qstrcmp(argv[3], Benchmark::kSpawnedOption) == 0) {
        WindowRun::Mode mode;
        RelayBoard::Threading threading;
        if (!WindowRun::parseMode(QString::fromLocal8Bit(argv[2]), &mode, &threading))
            return 2;
        return WindowRun::run(argc, argv, mode, threading, QByteArray(argv[4]).toLongLong());
    }
    if (argc == 4 && qstrcmp(argv[1], ServiceRun::kBareLoopOption) == 0)
        return ServiceRun::bareLoop(argv[2], QByteArray(argv[3]).toInt());

    QCoreApplication app(argc, argv);
    Benchmark::Parts parts = Benchmark::Parts::All;
    if (argc == 2 && qstrcmp(argv[1], Benchmark::kFramesOption) == 0)
        parts = Benchmark::Parts::FramesOnly;
    else if (argc == 2 && qstrcmp(argv[1], Benchmark::kSlowOption) == 0)
        parts = Benchmark::Parts::SlowAdapterOnly;
    else if (argc == 2 && qstrcmp(argv[1], Benchmark::kServiceOption) == 0)
        parts = Benchmark::Parts::ServiceOnly;
    return Benchmark().run(parts);
}
