#pragma once

#include <QProcess>
#include <QString>

// Another program that holds a port open exclusively, with TIOCEXCL and flock(), until it is
// stopped.
class PortHolder
{
public:
    ~PortHolder();

    // Returns once the other process holds the device, or false with the reason in error().
    bool start(const QString &device);
    // Lets the holder close the port and exit, which removes its lock file.
    void stop();
    QString error() const { return m_error; }

    // The holder's side, run by VIRTUALBOARD_TEST_MAIN when the test is started with
    // --virtualboard-hold DEVICE.
    static int hold(int argc, char **argv);

private:
    QProcess m_process;
    QString m_error;
};
