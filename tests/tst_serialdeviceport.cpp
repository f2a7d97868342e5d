#include "RelayBoard.h"
#include "SerialDevicePort.h"

#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// The real serial component on pseudo-terminals; never on a machine's serial ports.
class tst_SerialDevicePort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void openingFails_data();
    void openingFails();
    void strobeReachesTheOtherEndBeforeClose();
    void frameOnALineWithoutModemControlFailsAndCloses();
    void deviceHeldElsewhereIsRefused();
    void noDescriptorOrLockFileLeaks();

private:
    static int openDescriptors();
    QStringList lockFiles() const;

    int m_master = -1;
    QString m_slave;
};

void tst_SerialDevicePort::initTestCase()
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        QSKIP("this machine gives no pseudo-terminal");
    m_slave = QString::fromLocal8Bit(::ptsname(m_master));
}

void tst_SerialDevicePort::cleanupTestCase()
{
    if (m_master >= 0)
        ::close(m_master);
}

int tst_SerialDevicePort::openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Lock files of our own pseudo-terminal; other programs may be locking theirs meanwhile.
QStringList tst_SerialDevicePort::lockFiles() const
{
    const QString pattern = QStringLiteral("LCK..*") + QFileInfo(m_slave).fileName();
    QStringList found;
    for (const QString &dir : {QStringLiteral("/var/lock"), QStringLiteral("/tmp")})
        for (const QString &name : QDir(dir).entryList({pattern}, QDir::Files))
            found << dir + QLatin1Char('/') + name;
    return found;
}

void tst_SerialDevicePort::openingFails_data()
{
    QTest::addColumn<quint16>("portNumber");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("error");

    QTest::newRow("missing device") << quint16(1) << "/nonexistent/ttyRelvoog"
                                    << "/nonexistent/ttyRelvoog";
    QTest::newRow("not a terminal") << quint16(1) << "/dev/null"
                                    << "/dev/null";
    QTest::newRow("port 0 has no device") << quint16(0) << ""
                                          << "port 0 has no device";
    QTest::newRow("port 3 has no device") << quint16(3) << ""
                                          << "port 3 has no device";
}

void tst_SerialDevicePort::openingFails()
{
    QFETCH(quint16, portNumber);
    QFETCH(QString, device);
    QFETCH(QString, error);

    const int before = openDescriptors();
    SerialDevicePort port({device.isEmpty() ? m_slave : device, m_slave});
    port.setPortNumber(portNumber);
    QVERIFY(!port.open());
    QVERIFY2(port.errorString().contains(error), qPrintable(port.errorString()));
    port.close();
    QCOMPARE(openDescriptors(), before);
}

void tst_SerialDevicePort::strobeReachesTheOtherEndBeforeClose()
{
    SerialDevicePort port({m_slave});
    QVERIFY2(port.open(), qPrintable(port.errorString()));
    QVERIFY2(port.transmit("a"), qPrintable(port.errorString()));
    // A byte still in Qt's buffer at this point would be thrown away by close().
    port.close();

    pollfd ready {m_master, POLLIN, 0};
    QCOMPARE(::poll(&ready, 1, 2000), 1);
    char received[8] = {};
    QCOMPARE(::read(m_master, received, sizeof received), ssize_t(1));
    QCOMPARE(received[0], 'a');
}

void tst_SerialDevicePort::frameOnALineWithoutModemControlFailsAndCloses()
{
    // A pseudo-terminal has no modem-control lines, as an adapter that has gone away has none.
    SerialDevicePort port({m_slave});
    RelayBoard board(port);
    const int before = openDescriptors();
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral("relay frame failed.*RTS")));
    QVERIFY(!board.WriteRelays({1, 0, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(openDescriptors(), before);
    // Nothing was latched, and the port is free for the next frame.
    char received[8];
    QCOMPARE(::read(m_master, received, sizeof received), ssize_t(-1));
    QVERIFY(port.open());
    port.close();
}

void tst_SerialDevicePort::deviceHeldElsewhereIsRefused()
{
    SerialDevicePort holder({m_slave});
    QVERIFY(holder.open());
    SerialDevicePort other({m_slave});
    QVERIFY(!other.open());
    holder.close();
    QVERIFY(other.open());
    other.close();
}

void tst_SerialDevicePort::noDescriptorOrLockFileLeaks()
{
    const int before = openDescriptors();
    SerialDevicePort port({m_slave, QStringLiteral("/nonexistent/ttyRelvoog")});
    for (int i = 0; i < 10000; ++i) {
        port.setPortNumber(1);
        QVERIFY(port.open());
        port.close();
        port.setPortNumber(2);
        QVERIFY(!port.open());
        port.close();
    }
    const int after = openDescriptors();
    qInfo("descriptors before %d, after 10000 good and 10000 failed openings %d", before, after);
    QCOMPARE(after, before);
    QVERIFY(lockFiles().isEmpty());
}

QTEST_GUILESS_MAIN(tst_SerialDevicePort)
#include "tst_serialdeviceport.moc"
