// SPDX-License-Identifier: MIT
#pragma once

#include "FrameCost.h"
#include "ServiceRun.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Runs every measurement and prints the table: frame cost against a bare loop, the tick rate
// idle, with the dialog open and with the other core busy, the schedule latency, the program's
// CPU time, disk writes, memory and start-up, the window on a slow and on a hanging adapter, and
// the MQTT bridge, each next to its target.
class Benchmark
{
public:
    enum class Parts { All, FramesOnly, SlowAdapterOnly, ServiceOnly, MqttOnly };

    int run(Parts parts);

    // The benchmark's own executable, started again for a window run or as the busy core.
    static constexpr const char *kWindowOption = "--window";
    static constexpr const char *kSpawnedOption = "--spawned-ns";
    static constexpr const char *kSpinOption = "--spin";
    // Only the frame cost, for comparing two builds of the serial component run after run.
    static constexpr const char *kFramesOption = "--frames";
    // Only the runs on a slow and a hanging adapter.
    static constexpr const char *kSlowOption = "--slow";
    // Only the service: idle next to a bare loop, its memory, and its commands to the latch.
    static constexpr const char *kServiceOption = "--service";
    // Only the MQTT bridge's runs.
    static constexpr const char *kMqttOption = "--mqtt";
    static int spin();

private:
    using Figures = QMap<QString, double>;

    Figures runWindow(const QString &mode, bool otherCoreBusy);
    void printTable(const QList<FrameCost::Figures> &frames, const QString &wire);
    void frameRows(const QList<FrameCost::Figures> &frames, const QString &wire);
    void windowRows();
    void slowAdapterRows();
    void serviceRows();
    void mqttRows();
    void row(const QString &figure, const QString &measured, const QString &target = QString(),
        const QString &status = QString());
    static QString machine();

    QStringList m_rows;
    Figures m_idle;
    Figures m_dialog;
    Figures m_busy;
    Figures m_latency;
    // On the slow adapter, with frames on the writing thread and, as before it, on the window's.
    Figures m_clicks;
    Figures m_clicksInline;
    Figures m_hang;
    Figures m_hangInline;
    ServiceRun::Figures m_service;
    Figures m_mqtt;
    QString m_mqttProblem;
};
