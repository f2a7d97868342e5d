// SPDX-License-Identifier: MIT
#include "RememberedState.h"

#include "Module1.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace {
const QString kTimeFormat = QStringLiteral("HH:mm:ss");

QString timeText(QTime time)
{
    return time.isValid() ? time.toString(kTimeFormat) : QString();
}

// An empty text is an empty slot; anything else must be a time of day.
bool readTime(const QSettings &file, const QString &key, QTime *time)
{
    const QString text = file.value(key).toString();
    *time = text.isEmpty() ? QTime() : QTime::fromString(text, kTimeFormat);
    return file.contains(key) && (text.isEmpty() || time->isValid());
}

bool readFlag(
    const QSettings &file, const QString &key, const QString &set, const QString &unset, bool *flag)
{
    const QString text = file.value(key).toString();
    *flag = text == set;
    return text == set || text == unset;
}
} // namespace

bool RememberedState::Snapshot::operator==(const Snapshot &other) const
{
    return switchOn == other.switchOn && switchOff == other.switchOff
        && automatic == other.automatic && relayState == other.relayState
        && portNumber == other.portNumber;
}

RememberedState::RememberedState(const QString &path)
    : m_path(path)
{ }

QString RememberedState::defaultPath(const QString &device)
{
#ifdef Q_OS_WIN
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#else
    // Qt 6.4 knows no state location; this is the XDG base directories' own rule.
    QString folder = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(folder))
        folder = QDir::homePath() + QStringLiteral("/.local/state");
#endif
    // Two copies for two boards must never share a file, and a user should find a board's file
    // by the device name they gave.
    QString name = device;
    if (name.startsWith(QStringLiteral("/dev/")))
        name.remove(0, 5);
    return folder + QStringLiteral("/relvoog/") + QString::fromLatin1(QUrl::toPercentEncoding(name))
        + QStringLiteral(".conf");
}

std::optional<RememberedState::Snapshot> RememberedState::load(QString *problem)
{
    problem->clear();
    // The first run with --restore has nothing to resume, and nothing to tell about it.
    if (!QFileInfo::exists(m_path))
        return std::nullopt;
    const auto snapshot = read(problem);
    if (!snapshot)
        *problem = setAside(*problem);
    return snapshot;
}

std::optional<RememberedState::Snapshot> RememberedState::read(QString *problem) const
{
    QSettings file(m_path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError || !QFileInfo(m_path).isReadable()) {
        *problem = tr("faili %1 ei saa lugeda").arg(m_path);
        return std::nullopt;
    }
    Snapshot snapshot;
    bool whole = file.value(QStringLiteral("version")).toInt() == 1;
    bool isNumber = false;
    const uint port = file.value(QStringLiteral("port")).toUInt(&isNumber);
    whole = whole && isNumber && port >= 1 && port <= 2;
    snapshot.portNumber = quint16(port);
    for (int channel = 1; whole && channel <= kChannelCount; ++channel) {
        const QString group = QStringLiteral("channel%1/").arg(channel);
        whole = readTime(file, group + QStringLiteral("on"), &snapshot.switchOn[channel])
            && readTime(file, group + QStringLiteral("off"), &snapshot.switchOff[channel])
            && readFlag(file, group + QStringLiteral("mode"), QStringLiteral("automatic"),
                QStringLiteral("manual"), &snapshot.automatic[channel])
            && readFlag(file, group + QStringLiteral("state"), QStringLiteral("on"),
                QStringLiteral("off"), &snapshot.relayState[channel]);
        // An automatic channel always has both times: it entered automatic mode with them, and
        // a time set to none since is 00:00:00, at which the tick goes on switching it. Resumed
        // without one, it would come back on and switch at midnight.
        whole = whole
            && (!snapshot.automatic[channel]
                || (snapshot.switchOn[channel].isValid() && snapshot.switchOff[channel].isValid()));
    }
    if (!whole) {
        *problem = tr("fail %1 on rikutud").arg(m_path);
        return std::nullopt;
    }
    return snapshot;
}

QString RememberedState::setAside(const QString &problem)
{
    // The user's sixteen times may still be in it, for a person to read, so it is moved out of
    // the way of the next save rather than written over.
    const QString kept = m_path + QStringLiteral(".damaged");
    QFile::remove(kept);
    if (QFile::rename(m_path, kept))
        return tr("%1; see on alles nimega %2").arg(problem, kept);
    m_refusal = tr("%1 ja seda ei saa hoida nimega %2; see jäetakse, nagu on, ja midagi ei jäeta "
                   "meelde")
                    .arg(problem, kept);
    return m_refusal;
}

bool RememberedState::save(const Snapshot &snapshot, QString *problem)
{
    if (!m_refusal.isEmpty()) {
        *problem = m_refusal;
        return false;
    }
    if (m_written == snapshot)
        return true;
    // QSettings writes the file whole through a new one that takes its place, so a power cut
    // leaves the old file or the new one; sync() writes it now rather than at some later time.
    QSettings file(m_path, QSettings::IniFormat);
    file.clear();
    file.setValue(QStringLiteral("version"), 1);
    file.setValue(QStringLiteral("port"), snapshot.portNumber);
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        const QString group = QStringLiteral("channel%1/").arg(channel);
        file.setValue(group + QStringLiteral("on"), timeText(snapshot.switchOn[channel]));
        file.setValue(group + QStringLiteral("off"), timeText(snapshot.switchOff[channel]));
        file.setValue(group + QStringLiteral("mode"),
            snapshot.automatic[channel] ? QStringLiteral("automatic") : QStringLiteral("manual"));
        file.setValue(group + QStringLiteral("state"),
            snapshot.relayState[channel] ? QStringLiteral("on") : QStringLiteral("off"));
    }
    file.sync();
    if (file.status() != QSettings::NoError) {
        *problem = tr("faili %1 ei saa kirjutada").arg(m_path);
        return false;
    }
    m_written = snapshot;
    return true;
}
