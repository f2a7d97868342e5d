#include "PortHolder.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
constexpr int kHolderTimeoutMs = 10000;
}

PortHolder::~PortHolder()
{
    stop();
}

bool PortHolder::start(const QString &device)
{
    m_process.setProgram(QCoreApplication::applicationFilePath());
    m_process.setArguments({QStringLiteral("--virtualboard-hold"), device});
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    if (!m_process.waitForStarted(kHolderTimeoutMs)) {
        m_error = m_process.errorString();
        return false;
    }
    if (!m_process.waitForReadyRead(kHolderTimeoutMs)) {
        m_error = QStringLiteral("the holder did not answer");
        stop();
        return false;
    }
    const QByteArray answer = m_process.readLine().trimmed();
    if (answer != "held") {
        m_error = QString::fromLocal8Bit(answer);
        stop();
        return false;
    }
    return true;
}

void PortHolder::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(kHolderTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(kHolderTimeoutMs);
    }
}

int PortHolder::hold(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int fd = ::open(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1 || ::flock(fd, LOCK_EX | LOCK_NB) == -1 || ::ioctl(fd, TIOCEXCL) == -1) {
        std::printf("cannot hold %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    // Until the test closes its end of our standard input.
    char ignored[64];
    while (std::fread(ignored, 1, sizeof ignored, stdin) > 0) { }
    ::close(fd);
    return 0;
}
