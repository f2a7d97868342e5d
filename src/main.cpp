// SPDX-License-Identifier: MIT
#include "ChannelControl.h"
#include "LanguageChoice.h"
#include "Module1.h"
#include "MqttBridge.h"
#include "MqttSettings.h"
#include "Peavorm.h"
#include "RelayBoard.h"
#include "RememberedState.h"
#include "ScheduleClock.h"
#include "ScheduleConfirmation.h"
#include "StartOptions.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>

#include <cstdio>
#include <memory>

#ifdef Q_OS_WIN
#include "SerialDevicePort.h"
using SerialPort = SerialDevicePort;
#else
#include "TerminationSignals.h"
#include "TtyPort.h"
using SerialPort = TtyPort;
#endif

namespace {
constexpr std::chrono::milliseconds kQuitWait {2000};

int print(std::FILE *stream, const QString &text, int status)
{
    std::fprintf(stream, "%s\n", qPrintable(text));
    return status;
}
} // namespace

int main(int argc, char *argv[])
{
    // Read before anything else, so that --help or a mistyped option touches no port and shows
    // no window.
    const QStringList arguments = StartOptions::arguments(argc, argv);
    StartOptions options;
    const StartOptions::Action action = options.parse(arguments, SerialPort::defaultDevices());
    // What only prints needs no display. The application object carries the translation, and
    // the options' texts are made again once the language they choose is in force.
    const std::unique_ptr<QCoreApplication> app = action == StartOptions::Action::Run
        ? std::make_unique<QApplication>(argc, argv)
        : std::make_unique<QCoreApplication>(argc, argv);
    const LanguageChoice language(
        LanguageChoice::choose(QLocale().uiLanguages(), options.language()));
    options.parse(arguments, SerialPort::defaultDevices());
    if (action != StartOptions::Action::Run)
        return options.printMessage(action);
    if (!options.settingsProblem().isEmpty())
        print(stderr, options.settingsProblem(), 0);
    const MqttSettings mqtt = MqttSettings::read(options.settingsPath());
    if (!mqtt.problem.isEmpty())
        print(stderr, mqtt.problem, 0);

    QGuiApplication::setDesktopFileName(QStringLiteral("relvoog"));
#ifndef Q_OS_WIN
    TerminationSignals terminations;
#endif

    // Declared in the order they depend on each other, so that each outlives its users.
    RelayBoard board(std::make_unique<SerialPort>(options.devices()));
    // A second copy of the program on the same board would make its relays chatter, and its
    // all-off would wipe the first one's outputs; so it goes before it writes anything.
    const LinkError claim = board.setPortNumber(1);
    if (claim.failed()) {
        print(stderr, claim.text, 0);
        QMessageBox box(
            QMessageBox::Critical, QStringLiteral("Relvoog"), claim.text, QMessageBox::Ok);
#ifndef Q_OS_WIN
        QObject::connect(&terminations, &TerminationSignals::received, &box, &QMessageBox::reject);
#endif
        box.exec();
        return 3;
    }
    Module1 store;
    ChannelControl channels(board, store);
    ScheduleClock clock(channels);
    ScheduleConfirmation confirmation(channels);
    Peavorm window(channels, clock, confirmation);
#ifndef Q_OS_WIN
    // Ends the program as the quit button does, from whatever it is doing; the frame under way
    // is waited for below.
    QObject::connect(&terminations, &TerminationSignals::received, &window, &Peavorm::CloseMain);
#endif

    // Without [mqtt] settings nothing of it runs.
    std::unique_ptr<MqttBridge> bridge;
    if (mqtt.enabled()) {
        bridge = std::make_unique<MqttBridge>(channels, mqtt);
        QObject::connect(
            bridge.get(), &MqttBridge::connectionChanged, &window, &Peavorm::showBrokerState);
    }

    // The all-off frame is the first the board gets; the tick starts with the event loop.
    channels.load();
    RememberedState memory(options.statePath());
    if (options.restore()) {
        QString problem;
        if (const auto snapshot = memory.load(&problem)) {
            channels.restore(*snapshot, QDateTime::currentDateTime());
        } else if (!problem.isEmpty()) {
            const QString note
                = QCoreApplication::translate("main", "Eelmist seisu ei taastatud: %1.")
                      .arg(problem);
            print(stderr, note, 0);
            window.showStartNote(note);
        }
        channels.attachMemory(memory);
    }
    window.show();
    clock.start();
    const int status = QCoreApplication::exec();
    // The frame under way completes, so the board latches whole states; an adapter that does
    // not answer by then is left to the kernel.
    board.stop(kQuitWait);
    return status;
}
