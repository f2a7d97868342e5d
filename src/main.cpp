#include "ChannelControl.h"
#include "Module1.h"
#include "Peavorm.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"

#include <QApplication>

#ifdef Q_OS_WIN
#include "SerialDevicePort.h"
using SerialPort = SerialDevicePort;
#else
#include "TtyPort.h"
using SerialPort = TtyPort;
#endif

namespace {
constexpr std::chrono::milliseconds kQuitWait {2000};
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("relvoog"));

    // Declared in the order they depend on each other, so that each outlives its users.
    RelayBoard board(std::make_unique<SerialPort>());
    Module1 store;
    ChannelControl channels(board, store);
    ScheduleClock clock(channels, store);
    ScheduleConfirmation confirmation(store, board);
    Peavorm window(channels, clock, confirmation);
    channels.attachView(window);

    // The all-off frame is the first the board gets; the tick starts with the event loop.
    channels.load();
    window.show();
    clock.start();
    const int status = app.exec();
    // The frame under way completes, so the board latches whole states; an adapter that does
    // not answer by then is left to the kernel.
    board.stop(kQuitWait);
    return status;
}
