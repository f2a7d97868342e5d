// SPDX-License-Identifier: MIT
#include "StatusWords.h"

#include <QStringList>

#include <algorithm>

namespace {
// The word, as wide as the widest of the words that can stand in its place.
QString padded(const QString &word, const QStringList &words)
{
    qsizetype width = 0;
    for (const QString &candidate : words)
        width = std::max(width, candidate.size());
    return word.leftJustified(width);
}

QString shownTime(const QString &time)
{
    return time.isEmpty() ? QStringLiteral("--:--:--") : time;
}
} // namespace

QString StatusWords::line(const QString &label, const QString &text)
{
    const qsizetype width = std::max({tr("kanal %1").arg(8).size(), tr("port %1").arg(2).size(),
                                qsizetype(qstrlen("relvoogd"))})
        + 2;
    return label.leftJustified(width) + text;
}

QString StatusWords::channel(int channel, const QString &text)
{
    return line(tr("kanal %1").arg(channel), text);
}

QString StatusWords::port(quint16 port, const QString &text)
{
    return line(tr("port %1").arg(port), text);
}

QString StatusWords::service(const QString &text)
{
    return line(QStringLiteral("relvoogd"), text);
}

QString StatusWords::onOff(bool on)
{
    return on ? tr("sees") : tr("väljas");
}

QString StatusWords::mode(bool automatic)
{
    return automatic ? tr("automaatne") : tr("käsitsi");
}

QString StatusWords::times(const QString &switchOn, const QString &switchOff)
{
    return tr("sisse %1  välja %2").arg(shownTime(switchOn), shownTime(switchOff));
}

QString StatusWords::failing(const QString &why)
{
    return tr("ei tööta: %1").arg(why);
}

QString StatusWords::status(
    int channel, bool on, bool automatic, const QString &switchOn, const QString &switchOff)
{
    return StatusWords::channel(channel,
        padded(onOff(on), {onOff(true), onOff(false)}) + QStringLiteral("  ")
            + padded(mode(automatic), {mode(true), mode(false)}) + QStringLiteral("  ")
            + times(switchOn, switchOff));
}
