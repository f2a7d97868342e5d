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

bool MosquittoBroker::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (process.waitForFinished() && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0)
        return true;
    m_problem = QStringLiteral("%1 failed: %2")
                    .arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
    return false;
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
        const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
        const QString passwd = program(QStringLiteral("mosquitto_passwd"));
        if (openssl.isEmpty() || passwd.isEmpty()) {
            m_problem = QStringLiteral("openssl or mosquitto_passwd is missing");
            return false;
        }
        const auto newKey = [this](const QString &name) {
            return QStringList {QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                QStringLiteral("-nodes"), QStringLiteral("-keyout"), path(name)};
        };
        const auto selfSigned = [&](const QString &name) {
            return QStringList {QStringLiteral("req"), QStringLiteral("-x509")}
            + newKey(name + QStringLiteral(".key"))
                + QStringList {QStringLiteral("-out"), path(name + QStringLiteral(".crt")),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + name};
        };
        QFile extensions(path(QStringLiteral("server.ext")));
        if (!extensions.open(QIODevice::WriteOnly)
            || extensions.write("subjectAltName=DNS:localhost\n") < 0)
            return false;
        extensions.close();
        if (!run(openssl, selfSigned(QStringLiteral("ca")))
            || !run(openssl, selfSigned(QStringLiteral("other-ca")))
            || !run(openssl,
                QStringList {QStringLiteral("req")} + newKey(QStringLiteral("server.key"))
                    + QStringList {QStringLiteral("-out"), path(QStringLiteral("server.csr")),
                        QStringLiteral("-subj"), QStringLiteral("/CN=localhost")})
            || !run(openssl,
                {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    path(QStringLiteral("server.csr")), QStringLiteral("-CA"),
                    path(QStringLiteral("ca.crt")), QStringLiteral("-CAkey"),
                    path(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
                    QStringLiteral("-out"), path(QStringLiteral("server.crt")),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                    extensions.fileName()})
            || !run(passwd,
                {QStringLiteral("-b"), QStringLiteral("-c"), path(QStringLiteral("passwords")),
                    QLatin1String(kUser), QString::fromUtf8(kPassword)}))
            return false;
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
