// SPDX-License-Identifier: MIT
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A mosquitto broker of the run's own on 127.0.0.1 and a free port, configured in a folder of its
// own and killed at the end: anonymous, or with TLS and a password, its certificate issued for
// "localhost" by a CA made for the run.
class MosquittoBroker
{
public:
    enum class Access { Anonymous, TlsWithPassword };
    static constexpr const char *kUser = "relvoog";
    static constexpr const char *kPassword = "sala sõna";

    // noDelay: set_tcp_nodelay, which mosquitto's own configuration leaves off, so that its small
    // messages wait for the acknowledgement of the ones before them.
    explicit MosquittoBroker(Access access = Access::Anonymous, bool noDelay = true);
    ~MosquittoBroker();
    MosquittoBroker(const MosquittoBroker &) = delete;
    MosquittoBroker &operator=(const MosquittoBroker &) = delete;

    // Starts it, on the same port as before if it ran already, and waits until it listens. False
    // with why in problem(), for QSKIP when the machine has no mosquitto.
    bool start();
    void stop();
    bool isRunning() const { return m_process.state() == QProcess::Running; }
    QString problem() const { return m_problem; }
    quint16 port() const { return m_port; }
    // A file in the broker's folder: "ca.crt" signs its certificate, "other-ca.crt" does not.
    QString path(const QString &name) const { return m_folder.filePath(name); }

    // The broker's own program and its tools, also where /usr/sbin is not on the PATH.
    static QString program(const QString &name);

private:
    bool prepare();

    const Access m_access;
    const bool m_noDelay;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_prepared = false;
    QString m_problem;
};
