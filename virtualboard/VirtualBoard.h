// SPDX-License-Identifier: MIT
#pragma once

#include "virtualboard.h"

#include <QString>

// A program's handle on the preloaded library: finds its control functions in the process, so
// a program started without it still runs and can say what is missing.
class VirtualBoard
{
public:
    static bool isLoaded();
    // For QSKIP: what is missing and how to get it.
    static const char *notLoadedReason();

    // Runs commands as virtualboard_control() does; fails the calling test on an unknown one.
    static bool control(const QString &commands);
    static virtualboard_state state(const QString &device);

    // The outputs as "10000000", channel 1 first, so that a failed comparison reads like the
    // board.
    static QString outputWord(unsigned outputs);

    // The library and the launcher as built, for starting programs with them.
    static QString libraryPath();
    static QString launcherPath();
};

// Makes sure the library is loaded before main() goes on: under ctest LD_PRELOAD is already set;
// started by hand, the program runs itself again with the library preloaded. Once only: if the
// loader still refuses it, isLoaded() stays false.
int virtualBoardPrepare(int argc, char **argv);
