// SPDX-License-Identifier: MIT
#pragma once

#include <QMap>
#include <QString>

// The MQTT bridge in the program as its users start it, on a mosquitto of the benchmark's own on
// loopback: from a command published to the board's latch, from the latch to the state message,
// the CPU time idle beside the same program without MQTT, and four programs on four boards
// driven at once. Every program's ports are pseudo-terminals with the virtual board preloaded.
class MqttRun
{
public:
    using Figures = QMap<QString, double>;

    static constexpr int kCommands = 200; // for each program
    static constexpr int kIdleSeconds = 20;

    // Empty, with why in problem, when the machine has no mosquitto or a program did not connect.
    static Figures measure(QString *problem);
};
