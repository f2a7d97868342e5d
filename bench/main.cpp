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
        if (!WindowRun::parseMode(QString::fromLocal8Bit(argv[2]), &mode))
            return 2;
        return WindowRun::run(argc, argv, mode, QByteArray(argv[4]).toLongLong());
    }

    QCoreApplication app(argc, argv);
    const bool framesOnly = argc == 2 && qstrcmp(argv[1], Benchmark::kFramesOption) == 0;
    return Benchmark().run(framesOnly ? Benchmark::Parts::FramesOnly : Benchmark::Parts::All);
}
