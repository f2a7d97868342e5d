// SPDX-License-Identifier: MIT
#include "MosquittoBroker.h"

#include <QFile>
#include <QStandardPaths>

#include <csignal>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Two CAs, the broker's key and its certificate for "localhost" from the first, and the password
// file; $0 is mosquitto_passwd, $1 and $2 the user and the password.
constexpr const char *kMakeAccess = R"(set -e
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
openssl req -x509 $key -keyout ca.key -out ca.crt -subj /CN=relvoog-test-ca
openssl req -x509 $key -keyout other-ca.key -out other-ca.crt -subj /CN=relvoog-other-ca
openssl req $key -keyout server.key -out server.csr -subj /CN=localhost
echo subjectAltName=DNS:localhost > server.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 \
    -extfile server.ext -out server.crt
"$0" -b -c passwords "$1" "$2")";

// A port nobody listens on now: the kernel's choice for port 0.
quint16 freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    quint16 port = 0;
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), size) == 0
        && ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}
} // namespace

MosquittoBroker::MosquittoBroker(Access access, bool noDelay)
    : m_access(access)
    , m_noDelay(noDelay)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A test that crashes takes its broker with it.
    m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

MosquittoBroker::~MosquittoBroker()
{
    stop();
}

QString MosquittoBroker::program(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(
               name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")})
                           : found;
}

bool MosquittoBroker::prepare()
{
    m_port = freePort();
    QStringList lines {
        QStringLiteral("listener %1 127.0.0.1").arg(m_port),
        QStringLiteral("persistence false"),
        QStringLiteral("set_tcp_nodelay %1").arg(QLatin1String(m_noDelay ? "true" : "false")),
        // Run as root, it would become the user "mosquitto", who cannot read this folder.
        QStringLiteral("user %1").arg(QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)),
    };
    if (m_access == Access::Anonymous) {
        lines << QStringLiteral("allow_anonymous true");
    } else {
        QProcess make;
        make.setWorkingDirectory(m_folder.path());
        make.setProcessChannelMode(QProcess::MergedChannels);
        make.start(QStringLiteral("sh"),
            {QStringLiteral("-c"), QString::fromLatin1(kMakeAccess),
                program(QStringLiteral("mosquitto_passwd")), QLatin1String(kUser),
                QString::fromUtf8(kPassword)});
        if (!make.waitForFinished() || make.exitCode() != 0) {
            m_problem = QStringLiteral("no certificates or password file: ")
                + QString::fromLocal8Bit(make.readAll());
            return false;
        }
        lines << QStringLiteral("allow_anonymous false")
              << QStringLiteral("password_file ") + path(QStringLiteral("passwords"))
              << QStringLiteral("certfile ") + path(QStringLiteral("server.crt"))
              << QStringLiteral("keyfile ") + path(QStringLiteral("server.key"));
    }
    QFile config(path(QStringLiteral("mosquitto.conf")));
    if (!config.open(QIODevice::WriteOnly)
        || config.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n') < 0) {
        m_problem = config.errorString();
        return false;
    }
    m_prepared = true;
    return true;
}

bool MosquittoBroker::start()
{
    const QString mosquitto = program(QStringLiteral("mosquitto"));
    if (mosquitto.isEmpty()) {
        m_problem = QStringLiteral("mosquitto is not installed (apt install mosquitto)");
        return false;
    }
    if (!m_prepared && !prepare())
        return false;
    m_process.start(mosquitto, {QStringLiteral("-c"), path(QStringLiteral("mosquitto.conf"))});
    QByteArray output;
    while (!output.contains(" running") && m_process.waitForReadyRead(5000))
        output += m_process.readAll();
    if (output.contains(" running"))
        return true;
    m_problem = QStringLiteral("mosquitto did not start: ") + QString::fromLocal8Bit(output);
    stop();
    return false;
}

void MosquittoBroker::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished();
}
