#include "RelvoogClient.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace {
struct Verb
{
    const char *name;
    const char *arguments;
    const char *what;
};

constexpr Verb kVerbs[] = {
    {"status", "", "the eight channels and the port, one line each"},
    {"on", "N", "switch channel N on by hand; this ends its automatic mode"},
    {"off", "N", "switch channel N off by hand"},
    {"toggle", "N", "switch channel N over by hand"},
    {"auto", "N", "put channel N in automatic mode; it needs both of its times"},
    {"manual", "N", "take channel N out of automatic mode"},
    {"times", "N HH:MM:SS HH:MM:SS",
        "set channel N's switch-on and switch-off times; 00:00:00 is none"},
    {"all-off", "", "switch every output off and every channel to manual"},
    {"port", "1|2", "try port 1 or 2, and use it if it opens"},
    {"monitor", "", "print the changes as they come, until Ctrl+C"},
};

QString description()
{
    QString text = QStringLiteral("Controls the relay board that relvoogd drives.\n\nCommands:\n");
    for (const Verb &verb : kVerbs)
        text += QStringLiteral("  %1 %2\n      %3\n")
                    .arg(QLatin1String(verb.name), QLatin1String(verb.arguments),
                        QLatin1String(verb.what));
    text
        += QStringLiteral("\nExit status: 0 done; 1 refused by relvoogd, which says why; 2 a wrong "
                          "command, channel, time or port; 3 relvoogd cannot be reached.");
    return text;
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
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    // Not addHelpOption(): its --help-all would list Qt's own options, which do nothing here.
    const QCommandLineOption help(
        {QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays this help."));
    const QCommandLineOption version(
        {QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("Displays the version."));
    const QCommandLineOption system(QStringLiteral("system"),
        QStringLiteral("Talk to the system service, on the system bus (default: the session "
                       "bus)."));
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("status and monitor print JSON, for scripts."));
    parser.addOptions({help, version, system, json});
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral("One of the commands above."), QStringLiteral("COMMAND [ARGUMENTS]"));
    if (!parser.parse(QCoreApplication::arguments()))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(parser.helpText()));
        return RelvoogClient::Done;
    }
    if (parser.isSet(version)) {
        std::printf("relvoogctl %s\n", RELVOOG_VERSION);
        return RelvoogClient::Done;
    }

    const QStringList words = parser.positionalArguments();
    if (words.isEmpty())
        return usage(QStringLiteral("no command given; relvoogctl --help lists them."));
    const QString verb = words.constFirst();
    const Verb *known = nullptr;
    for (const Verb &candidate : kVerbs)
        known = verb == QLatin1String(candidate.name) ? &candidate : known;
    if (!known)
        return usage(
            QStringLiteral("unknown command '%1'; relvoogctl --help lists them.").arg(verb));
    const QString arguments = QLatin1String(known->arguments);
    if (words.size() - 1 != arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts).size())
        return usage(QStringLiteral("usage: relvoogctl %1 %2").arg(verb, arguments).trimmed());
    // Which numbers exist is the service's to say; here a number is all that is asked for.
    bool isNumber = true;
    const int channel = arguments.startsWith(QLatin1Char('N')) ? words[1].toInt(&isNumber) : 0;
    if (!isNumber)
        return usage(QStringLiteral("'%1' is not a channel number.").arg(words[1]));
    const quint16 port = verb == QLatin1String("port") ? words[1].toUShort(&isNumber) : 0;
    if (!isNumber)
        return usage(QStringLiteral("'%1' is not a port number.").arg(words[1]));

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
