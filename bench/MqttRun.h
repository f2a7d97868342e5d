// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>

// The MQTT bridge in the programs as their users start them, on a mosquitto of the benchmark's own
// on loopback: from a command published to the board's latch and from the latch to the state
// message, in the window program and in four services on four boards driven at once, and the
// window program's CPU time idle beside the same program without MQTT. Every program's ports are
// pseudo-terminals with the virtual board preloaded.
class MqttRun
{
public:
    using Figures = QMap<QString, double>;

    static constexpr int kCommands = 200; // for each program
    static constexpr int kIdleSeconds = 20;

    // Empty, with why in problem, when the machine has no mosquitto or a program did not connect.
    static Figures measure(QString *problem);
};
