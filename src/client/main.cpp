// SPDX-License-Identifier: MIT
#include "LanguageChoice.h"
#include "RelvoogClient.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <cstdio>

namespace {
struct Verb
{
    const char *name;
    const char *arguments;
    const char *what;
};

constexpr Verb kVerbs[] = {
    {"status", "", QT_TRANSLATE_NOOP("relvoogctl", "kaheksa kanalit ja port, igaüks oma real")},
    {"on", "N",
        QT_TRANSLATE_NOOP(
            "relvoogctl", "lülitab kanali N käsitsi sisse; see lõpetab kanali automaatrežiimi")},
    {"off", "N", QT_TRANSLATE_NOOP("relvoogctl", "lülitab kanali N käsitsi välja")},
    {"toggle", "N", QT_TRANSLATE_NOOP("relvoogctl", "lülitab kanali N käsitsi ümber")},
    {"auto", "N",
        QT_TRANSLATE_NOOP(
            "relvoogctl", "viib kanali N automaatrežiimi; selleks on vaja mõlemat aega")},
    {"manual", "N", QT_TRANSLATE_NOOP("relvoogctl", "võtab kanali N automaatrežiimist välja")},
    {"times", "N HH:MM:SS HH:MM:SS",
        QT_TRANSLATE_NOOP("relvoogctl",
            "seab kanali N sisse- ja väljalülitumisaja; 00:00:00 tähendab, et aega ei ole")},
    {"all-off", "",
        QT_TRANSLATE_NOOP(
            "relvoogctl", "lülitab kõik väljundid välja ja kõik kanalid käsitsijuhtimisele")},
    {"port", "1|2",
        QT_TRANSLATE_NOOP(
            "relvoogctl", "proovib porti 1 või 2 ja võtab selle kasutusele, kui see avaneb")},
    {"monitor", "", QT_TRANSLATE_NOOP("relvoogctl", "näitab muutusi nende tulles, kuni Ctrl+C-ni")},
};

QString translated(const char *text)
{
    return QCoreApplication::translate("relvoogctl", text);
}

QString description()
{
    QString text
        = QCoreApplication::translate("relvoogctl", "Juhib releeplaati, mida relvoogd juhib.")
        + QStringLiteral("\n\n") + QCoreApplication::translate("relvoogctl", "Käsud:")
        + QLatin1Char('\n');
    for (const Verb &verb : kVerbs)
        text += QStringLiteral("  %1\n      %2\n")
                    .arg(QStringLiteral("%1 %2")
                             .arg(QLatin1String(verb.name), QLatin1String(verb.arguments))
                             .trimmed(),
                        translated(verb.what));
    return text + QLatin1Char('\n')
        + QCoreApplication::translate("relvoogctl",
            "Lõpetamise olek: 0 tehtud; 1 relvoogd keeldus ja ütleb, miks; 2 vale käsk, "
            "kanal, aeg või port; 3 relvoogd ei ole kättesaadav.");
}

int usage(const QString &text)
{
    std::fprintf(stderr, "relvoogctl: %s\n", qPrintable(text));
    return RelvoogClient::Usage;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The system's language; what the service answers comes in the service's.
    const LanguageChoice language(LanguageChoice::choose(QLocale().uiLanguages()));
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    // Not addHelpOption(): its --help-all would list Qt's own options, which do nothing here.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
        QCoreApplication::translate("relvoogctl", "Näitab seda abiteksti."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
        QCoreApplication::translate("relvoogctl", "Näitab versiooni."));
    const QCommandLineOption system(QStringLiteral("system"),
        QCoreApplication::translate(
            "relvoogctl", "Räägib süsteemi teenusega süsteemi siinil (vaikimisi seansi siinil)."));
    const QCommandLineOption json(QStringLiteral("json"),
        QCoreApplication::translate(
            "relvoogctl", "status ja monitor annavad JSON-i, skriptide jaoks."));
    parser.addOptions({help, version, system, json});
    parser.addPositionalArgument(QStringLiteral("command"),
        QCoreApplication::translate("relvoogctl", "Üks ülaltoodud käskudest."),
        QCoreApplication::translate("relvoogctl", "KÄSK [ARGUMENDID]"));
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        // Qt's usage line names the program as it was started; the name is what people type.
        const QString program = QCoreApplication::arguments().constFirst();
        std::printf(
            "%s", qPrintable(parser.helpText().replace(program, QFileInfo(program).fileName())));
        return RelvoogClient::Done;
    }
    if (parser.isSet(version)) {
        std::printf("relvoogctl %s\n", RELVOOG_VERSION);
        return RelvoogClient::Done;
    }

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return usage(QCoreApplication::translate(
            "relvoogctl", "Käsk puudub; relvoogctl --help loetleb käsud."));
    const QString verb = words.constFirst();
    const Verb *known = nullptr;
    for (const Verb &candidate : kVerbs)
        known = verb == QLatin1String(candidate.name) ? &candidate : known;
    if (!known)
        return usage(QCoreApplication::translate(
            "relvoogctl", "Tundmatu käsk '%1'; relvoogctl --help loetleb käsud.")
                         .arg(verb));
    const QString arguments = QLatin1String(known->arguments);
    if (words.size() - 1 != arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts).size())
        return usage(QCoreApplication::translate("relvoogctl", "Kasutus: relvoogctl %1")
                         .arg(QStringLiteral("%1 %2").arg(verb, arguments).trimmed()));
    // Which numbers exist is the service's to say; here a number is all that is asked for.
    bool isNumber = true;
    const int channel = arguments.startsWith(QLatin1Char('N')) ? words[1].toInt(&isNumber) : 0;
    if (!isNumber)
        return usage(
            QCoreApplication::translate("relvoogctl", "'%1' ei ole kanali number.").arg(words[1]));
    const quint16 port = verb == QLatin1String("port") ? words[1].toUShort(&isNumber) : 0;
    if (!isNumber)
        return usage(
            QCoreApplication::translate("relvoogctl", "'%1' ei ole pordi number.").arg(words[1]));

    RelvoogClient client(parser.isSet(system), parser.isSet(json));
    Relvoog1Proxy &service = client.service();
    if (verb == QLatin1String("status"))
        return client.status();
    if (verb == QLatin1String("monitor"))
        return client.monitor();
    if (verb == QLatin1String("on") || verb == QLatin1String("off"))
        return client.wait(service.Switch(channel, verb == QLatin1String("on")));
    if (verb == QLatin1String("toggle"))
        return client.wait(service.Toggle(channel));
    if (verb == QLatin1String("auto") || verb == QLatin1String("manual"))
        return client.wait(service.SetAutomatic(channel, verb == QLatin1String("auto")));
    if (verb == QLatin1String("times"))
        return client.wait(service.SetTimes(channel, words[2], words[3]));
    if (verb == QLatin1String("all-off"))
        return client.wait(service.AllOff());
    return client.wait(service.ChangePort(port));
}
