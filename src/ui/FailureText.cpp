// SPDX-License-Identifier: MIT
#include "FailureText.h"

#include <QCoreApplication>

#include <cerrno>

namespace {
QString advice(const LinkError &error)
{
    if (error.reason == LinkError::Reason::ConsoleRefused)
        return QCoreApplication::translate(
            "FailureText", "See seade on süsteemi konsool; Relvoog seda ei kasuta.");
    if (error.reason == LinkError::Reason::Claimed)
        return QCoreApplication::translate(
            "FailureText", "Seda plaati juhib juba teine Relvoog (aken või teenus).");
    if (error.reason == LinkError::Reason::NoAnswer)
        return QCoreApplication::translate(
            "FailureText", "Adapter ei vasta; tõmba see välja ja ühenda uuesti.");
    switch (error.code) {
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("FailureText",
            "Kasutaja peab kuuluma seadme grupi (nt dialout) liikmete hulka; pärast lisamist "
            "tuleb uuesti sisse logida.");
    case EBUSY:
        return QCoreApplication::translate(
            "FailureText", "Porti hoiab teine programm (Linuxis sageli ModemManager või brltty).");
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return QCoreApplication::translate("FailureText", "Seade ei ole ühendatud.");
    default:
        return QString();
    }
}
} // namespace

QString failureText(const LinkError &error)
{
    const QString help = advice(error);
    return help.isEmpty() ? error.text : error.text + QLatin1Char('\n') + help;
}
