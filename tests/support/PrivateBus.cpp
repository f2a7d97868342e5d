// SPDX-License-Identifier: MIT
#include "PrivateBus.h"

#include <QFile>

#include <csignal>

#include <sys/prctl.h>

using namespace Qt::StringLiterals;

namespace {
// A session bus with nothing to activate: no servicedir, so an installed relvoogd is never
// started on it.
constexpr char kConfiguration[] = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=%1/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";
} // namespace

PrivateBus::PrivateBus()
{
    QFile configuration(m_folder.filePath(u"bus.conf"_s));
    if (!m_folder.isValid() || !configuration.open(QIODevice::WriteOnly))
        return;
    configuration.write(QString::fromLatin1(kConfiguration).arg(m_folder.path()).toUtf8());
    configuration.close();
    m_daemon.setProcessEnvironment(environment());
    // It warns about limits it may not raise, which is no matter here.
    m_daemon.setStandardErrorFile(QProcess::nullDevice());
    // Ends with whoever started it, even one that was killed.
    m_daemon.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_daemon.start(u"dbus-daemon"_s,
        {u"--config-file="_s + configuration.fileName(), u"--nofork"_s, u"--print-address"_s});
    if (m_daemon.waitForReadyRead(5000))
        m_address = QString::fromLocal8Bit(m_daemon.readLine().trimmed());
}

PrivateBus::~PrivateBus()
{
    m_daemon.kill();
    m_daemon.waitForFinished();
}

QProcessEnvironment PrivateBus::environment(QProcessEnvironment base) const
{
    base.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_address);
    base.remove(u"LD_PRELOAD"_s);
    return base;
}
