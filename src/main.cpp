#include "Peavorm.h"
#include "SerialDevicePort.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Declared before the window, so that it outlives the window that writes through it.
    SerialDevicePort port;
    Peavorm peavorm(port);
    peavorm.show();
    return app.exec();
}
