#pragma once

#include "FrameCost.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Runs every measurement and prints the table: frame cost against a bare loop, the tick rate
// idle, with the dialog open and with the other core busy, the schedule latency, and the
// program's CPU time, memory and start-up, each next to its target.
class Benchmark
{
public:
    enum class Parts { All, FramesOnly };

    int run(Parts parts);

    // The benchmark's own executable, started again for a window run or as the busy core.
    static constexpr const char *kWindowOption = "--window";
    static constexpr const char *kSpawnedOption = "--spawned-ns";
    static constexpr const char *kSpinOption = "--spin";
    // Only the frame cost, for comparing two builds of the serial component run after run.
    static constexpr const char *kFramesOption = "--frames";
    static int spin();

private:
    using Figures = QMap<QString, double>;

    Figures runWindow(const QString &mode, bool otherCoreBusy);
    void printTable(const QList<FrameCost::Figures> &frames, const QString &wire) const;
    static void print(const QStringList &rows);
    static QString machine();

    Figures m_idle;
    Figures m_dialog;
    Figures m_busy;
    Figures m_latency;
};
