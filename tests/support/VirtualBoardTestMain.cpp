// SPDX-License-Identifier: MIT
#include "VirtualBoardTestMain.h"

#include "RelayBoard.h"
#include "TtyPort.h"

int virtualBoardWriteFrame(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    RelayBoard board(std::make_unique<TtyPort>(QStringList {QString::fromLocal8Bit(argv[2])}),
        RelayBoard::Threading::Inline);
    QSignalSpy written(&board, &RelayBoard::frameWritten);
    const unsigned bits = QByteArray(argv[3]).toUInt(nullptr, 0);
    RelayStates states;
    for (int channel = 1; channel <= kChannelCount; ++channel)
        states[channel] = bits >> (channel - 1) & 1;
    board.write(states);
    return written.value(0).value(2).value<LinkError>().failed() ? 1 : 0;
}
