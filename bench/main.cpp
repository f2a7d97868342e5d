#include "Benchmark.h"
#include "VirtualBoard.h"
#include "WindowRun.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc == 2 && qstrcmp(argv[1], Benchmark::kSpinOption) == 0)
        return Benchmark::spin();

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

    QCoreApplication app(argc, argv);
    Benchmark::Parts parts = Benchmark::Parts::All;
    if (argc == 2 && qstrcmp(argv[1], Benchmark::kFramesOption) == 0)
        parts = Benchmark::Parts::FramesOnly;
    else if (argc == 2 && qstrcmp(argv[1], Benchmark::kSlowOption) == 0)
        parts = Benchmark::Parts::SlowAdapterOnly;
    return Benchmark().run(parts);
}
