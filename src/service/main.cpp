// SPDX-License-Identifier: MIT
#include "ChannelControl.h"
#include "LanguageChoice.h"
#include "Module1.h"
#include "MqttBridge.h"
#include "MqttSettings.h"
#include "RelayBoard.h"
#include "Relvoog1.h"
#include "Relvoog1Adaptor.h"
#include "RememberedState.h"
#include "ScheduleClock.h"
#include "StartOptions.h"
#include "TerminationSignals.h"
#include "TtyPort.h"
#include "WallClock.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QLocale>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcService, "relvoog.service")

namespace {
constexpr std::chrono::milliseconds kQuitWait {2000};

// Besides 0, a clean stop, and 2, options or a settings file it cannot run on.
constexpr int kBoardDriven = 3;
constexpr int kBusRefused = 4;
} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = StartOptions::arguments(argc, argv);
    StartOptions options(StartOptions::Program::Service);
    const StartOptions::Action action = options.parse(arguments, TtyPort::defaultDevices());
    // The service has no use for GLib's main loop, and Qt's own costs less at every wake-up.
    qputenv("QT_NO_GLIB", "1");
    // The application object carries the translation, and the options' texts are made again once
    // the language they choose is in force.
    QCoreApplication app(argc, argv);
    const LanguageChoice language(
        LanguageChoice::choose(QLocale().uiLanguages(), options.language()));
    options.parse(arguments, TtyPort::defaultDevices());
    if (action != StartOptions::Action::Run)
        return options.printMessage(action);

    TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::received, &app, [] {
        qCInfo(lcService).noquote() << QCoreApplication::translate("main", "Lõpetan.");
        QCoreApplication::exit(0);
    });

    // Declared in the order they depend on each other, so that each outlives its users.
    RelayBoard board(std::make_unique<TtyPort>(options.devices()));
    // A window program or another service on the same board would make its relays chatter, and
    // this one's all-off would wipe its outputs; so this one goes before it writes anything.
    const LinkError claim = board.setPortNumber(1);
    if (claim.failed()) {
        qCCritical(lcService).noquote() << claim.text;
        return kBoardDriven;
    }
    const bool system = options.systemBus();
    const QString onTheBus = system ? QCoreApplication::translate("main", "süsteemi siinil")
                                    : QCoreApplication::translate("main", "seansi siinil");
    QDBusConnection bus = system ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        qCCritical(lcService).noquote()
            << (system ? QCoreApplication::translate("main", "Süsteemi siinile ei pääse: %1.")
                       : QCoreApplication::translate("main", "Seansi siinile ei pääse: %1."))
                   .arg(bus.lastError().message().simplified());
        return kBusRefused;
    }
    Module1 store;
    ChannelControl channels(board, store);
    // The board is rewritten every 10 ms, as the window's tick does, by the writing thread alone;
    // this thread wakes at the start of each second, where the switching times are. Waking it
    // too a hundred times a second would cost half again as much as the frames themselves.
    board.repeatFrames(ScheduleClock::kTickInterval);
    ScheduleClock clock(channels, WallClock(), ScheduleClock::Pace::EverySecond);
    new Relvoog1Adaptor(channels, bus);
    // Calls are answered from the event loop on, once the channels are loaded or restored.
    if (!bus.registerObject(Relvoog1::kPath, &channels)
        || !bus.registerService(Relvoog1::kService)) {
        const uint holder = bus.interface()->servicePid(Relvoog1::kService);
        qCCritical(lcService).noquote() << (holder
                ? QCoreApplication::translate(
                    "main", "Nimi %1 on %2 juba võetud: seal töötab relvoogd (protsess %3).")
                      .arg(Relvoog1::kService, onTheBus)
                      .arg(holder)
                : QCoreApplication::translate("main", "Nime %1 ei saa %2 võtta: %3")
                      .arg(Relvoog1::kService, onTheBus, bus.lastError().message().simplified()));
        return kBusRefused;
    }
    qCInfo(lcService).noquote() << QCoreApplication::translate(
        "main", "relvoogd %1 töötab %2; port 1 on %3, port 2 on %4, kanalite olek on failis %5.")
                                       .arg(QStringLiteral(RELVOOG_VERSION), onTheBus,
                                           options.devices().value(0), options.devices().value(1),
                                           options.statePath());
    QObject::connect(&channels, &ChannelControl::portChanged, &app,
        [&channels, shown = quint16(0)](quint16 port) mutable {
            if (port != shown)
                qCInfo(lcService).noquote()
                    << QCoreApplication::translate("main", "Kasutusel on port %1 (%2).")
                           .arg(port)
                           .arg(channels.device(port));
            shown = port;
        });

    // Without [mqtt] settings nothing of it runs.
    const MqttSettings mqtt = MqttSettings::read(options.settingsPath());
    if (!mqtt.problem.isEmpty())
        qCWarning(lcService).noquote() << mqtt.problem;
    std::unique_ptr<MqttBridge> bridge;
    if (mqtt.enabled())
        bridge = std::make_unique<MqttBridge>(channels, mqtt);

    // The all-off frame is the first the board gets; the tick starts with the event loop. With
    // no one there to set the channels again after a restart, they are always resumed.
    channels.load();
    RememberedState memory(options.statePath());
    QString problem;
    if (const auto snapshot = memory.load(&problem)) {
        channels.restore(*snapshot, QDateTime::currentDateTime());
        qCInfo(lcService).noquote()
            << QCoreApplication::translate("main", "Kanalite olek taastati failist %1.")
                   .arg(options.statePath());
    } else if (!problem.isEmpty()) {
        qCWarning(lcService).noquote()
            << QCoreApplication::translate("main", "Eelmist seisu ei taastatud: %1.").arg(problem);
    }
    channels.attachMemory(memory);
    clock.start();
    const int status = app.exec();
    // The frame under way completes, so the board latches whole states; an adapter that does
    // not answer by then is left to the kernel.
    board.stop(kQuitWait);
    return status;
}
