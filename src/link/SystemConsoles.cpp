// SPDX-License-Identifier: MIT
#include "SystemConsoles.h"

#include <QFile>
#include <QRegularExpression>

std::optional<QStringList> systemConsoles(
    const QString &procConsoles, const QString &activeConsoles)
{
    std::optional<QStringList> names;
    QFile proc(procConsoles);
    if (proc.open(QIODevice::ReadOnly | QIODevice::Text)) {
        names.emplace();
        // "ttyS0                -W- (EC p a)    4:64": the name is the first word of a line.
        for (const QByteArray &line : proc.readAll().split('\n')) {
            const QByteArray name = line.simplified().split(' ').constFirst();
            if (!name.isEmpty())
                names->append(QString::fromLocal8Bit(name));
        }
    }
    QFile active(activeConsoles);
    if (active.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (!names)
            names.emplace();
        const QString line = QString::fromLocal8Bit(active.readAll());
        for (const QString &name :
            line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
            if (!names->contains(name))
                names->append(name);
    }
    return names;
}
