#include "VirtualBoardTestMain.h"

#include "RelayBoard.h"
#include "SerialDevicePort.h"

#include <cstdlib>
#include <string>
#include <unistd.h>

int virtualBoardPrepare(int, char **argv)
{
    if (VirtualBoard::isLoaded() || std::getenv("VIRTUALBOARD_REEXEC"))
        return 0;
    const char *library = VIRTUALBOARD_LIBRARY;
    if (::access(library, R_OK) != 0)
        return 0;
    std::string preload = library;
    if (const char *earlier = std::getenv("LD_PRELOAD"); earlier && *earlier)
        preload += std::string(":") + earlier;
    ::setenv("LD_PRELOAD", preload.c_str(), 1);
    // Once only: if the loader still refuses the library, the tests skip and say why.
    ::setenv("VIRTUALBOARD_REEXEC", "1", 1);
    ::execv("/proc/self/exe", argv);
    return 0;
}

int virtualBoardWriteFrame(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SerialDevicePort port(QStringList {QString::fromLocal8Bit(argv[2])});
    RelayBoard board(port);
    const unsigned bits = QByteArray(argv[3]).toUInt(nullptr, 0);
    RelayStates states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states[channel] = bits >> (channel - 1) & 1;
    return board.write(states).failed() ? 1 : 0;
}
