#include "RememberedState.h"

#include "StartOptions.h"

#include <QFileInfo>
#include <QSettings>

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

QString RememberedState::defaultPath()
{
    return QFileInfo(StartOptions::settingsPath()).path() + QStringLiteral("/state.conf");
}

std::optional<RememberedState::Snapshot> RememberedState::load(QString *problem) const
{
    // The first run with --restore has nothing to resume, and nothing to tell about it.
    if (!QFileInfo::exists(m_path)) {
        problem->clear();
        return std::nullopt;
    }
    QSettings file(m_path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError || !QFileInfo(m_path).isReadable()) {
        *problem = QStringLiteral("%1 cannot be read").arg(m_path);
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
    }
    if (!whole) {
        *problem = QStringLiteral("%1 is damaged").arg(m_path);
        return std::nullopt;
    }
    return snapshot;
}

bool RememberedState::save(const Snapshot &snapshot, QString *problem)
{
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
        *problem = QStringLiteral("%1 cannot be written").arg(m_path);
        return false;
    }
    m_written = snapshot;
    return true;
}
