#include "ChannelControl.h"
#include "Module1.h"
#include "Peavorm.h"
#include "RelayBoard.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"
#include "SerialDevicePort.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("relvoog"));

    // Declared in the order they depend on each other, so that each outlives its users.
    SerialDevicePort port;
    RelayBoard board(port);
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
    return app.exec();
}
