#include "VirtualBoardTestMain.h"

#include "RelayBoard.h"
#include "SerialDevicePort.h"

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
