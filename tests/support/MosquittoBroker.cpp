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

using namespace Qt::StringLiterals;

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
    return found.isEmpty()
        ? QStandardPaths::findExecutable(name, {u"/usr/sbin"_s, u"/usr/local/sbin"_s})
        : found;
}

bool MosquittoBroker::prepare()
{
    m_port = freePort();
    QStringList lines {
        u"listener %1 127.0.0.1"_s.arg(m_port),
        u"persistence false"_s,
        u"set_tcp_nodelay %1"_s.arg(QLatin1String(m_noDelay ? "true" : "false")),
        // Run as root, it would become the user "mosquitto", who cannot read this folder.
        u"user %1"_s.arg(QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)),
    };
    if (m_access == Access::Anonymous) {
        lines << u"allow_anonymous true"_s;
    } else {
        QProcess make;
        make.setWorkingDirectory(m_folder.path());
        make.setProcessChannelMode(QProcess::MergedChannels);
        make.start(u"sh"_s,
            {u"-c"_s, QString::fromLatin1(kMakeAccess), program(u"mosquitto_passwd"_s),
                QLatin1String(kUser), QString::fromUtf8(kPassword)});
        if (!make.waitForFinished() || make.exitCode() != 0) {
            m_problem
                = u"no certificates or password file: "_s + QString::fromLocal8Bit(make.readAll());
            return false;
        }
        lines << u"allow_anonymous false"_s << u"password_file "_s + path(u"passwords"_s)
              << u"certfile "_s + path(u"server.crt"_s) << u"keyfile "_s + path(u"server.key"_s);
    }
    QFile config(path(u"mosquitto.conf"_s));
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
    const QString mosquitto = program(u"mosquitto"_s);
    if (mosquitto.isEmpty()) {
        m_problem = u"mosquitto is not installed (apt install mosquitto)"_s;
        return false;
    }
    if (!m_prepared && !prepare())
        return false;
    m_process.start(mosquitto, {u"-c"_s, path(u"mosquitto.conf"_s)});
    QByteArray output;
    while (!output.contains(" running") && m_process.waitForReadyRead(5000))
        output += m_process.readAll();
    if (output.contains(" running"))
        return true;
    m_problem = u"mosquitto did not start: "_s + QString::fromLocal8Bit(output);
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
