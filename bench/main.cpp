// SPDX-License-Identifier: MIT
#include "Benchmark.h"
#include "ServiceRun.h"
#include "VirtualBoard.h"
#include "WindowRun.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
constexpr const char *kUsage
    = "Usage: relvoog-bench [--frames | --slow | --service | --mqtt | --window MODE "
      "--spawned-ns 0]\n"
      "Measures what a relay frame costs, how steady the tick is, how light the program and the\n"
      "service run, how the window fares on a slow or a hanging adapter and how fast the MQTT\n"
      "bridge answers, each figure next to its target, in about four and a half minutes\n"
      "(bench/README.md explains the figures).\n"
      "\n"
      "  --frames    the frame cost alone\n"
      "  --slow      the runs on a slow and a hanging adapter alone\n"
      "  --service   relvoogd alone: idle beside a bare loop, its memory, relvoogctl to the latch\n"
      "  --mqtt      the MQTT bridge's runs alone, on a mosquitto of their own\n"
      "  --window MODE --spawned-ns 0\n"
      "              one window run alone: MODE is idle, dialog, latency, clicks or hang, with\n"
      "              -inline after it for frames written on the window's thread\n"
      "  -h, --help  this text\n";

bool is(const char *argument, const char *option)
{
    return qstrcmp(argument, option) == 0;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && is(argv[1], Benchmark::kSpinOption))
        return Benchmark::spin();
    const bool windowRun = argc == 5 && is(argv[1], Benchmark::kWindowOption)
        && is(argv[3], Benchmark::kSpawnedOption);
    const bool bareLoop = argc == 4 && is(argv[1], ServiceRun::kBareLoopOption);
    Benchmark::Parts parts = Benchmark::Parts::All;
    if (argc == 2 && is(argv[1], Benchmark::kFramesOption)) {
        parts = Benchmark::Parts::FramesOnly;
    } else if (argc == 2 && is(argv[1], Benchmark::kSlowOption)) {
        parts = Benchmark::Parts::SlowAdapterOnly;
    } else if (argc == 2 && is(argv[1], Benchmark::kServiceOption)) {
        parts = Benchmark::Parts::ServiceOnly;
    } else if (argc == 2 && is(argv[1], Benchmark::kMqttOption)) {
        parts = Benchmark::Parts::MqttOnly;
    } else if (argc == 2 && (is(argv[1], "--help") || is(argv[1], "-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    } else if (argc != 1 && !windowRun && !bareLoop) {
        // A mistyped option would otherwise start the whole two and a half minutes.
        std::fputs(kUsage, stderr);
        return 2;
    }

    // Started without the virtual board, the benchmark starts itself again with it preloaded.
    virtualBoardPrepare(argc, argv);
    if (!VirtualBoard::isLoaded()) {
        std::fprintf(stderr, "relvoog-bench: %s\n", VirtualBoard::notLoadedReason());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");

    if (windowRun) {
        WindowRun::Mode mode;
        RelayBoard::Threading threading;
        if (!WindowRun::parseMode(QString::fromLocal8Bit(argv[2]), &mode, &threading))
            return 2;
        return WindowRun::run(argc, argv, mode, threading, QByteArray(argv[4]).toLongLong());
    }
    if (bareLoop)
        return ServiceRun::bareLoop(argv[2], QByteArray(argv[3]).toInt());

    QCoreApplication app(argc, argv);
    return Benchmark().run(parts);
}
