// SPDX-License-Identifier: MIT
#pragma once

#include "PseudoTerminal.h"
#include "RelayBoard.h"
#include "Spread.h"
#include "SystemCallCounter.h"

#include <QList>
#include <QString>

#include <memory>

// What a relay frame costs as the program writes it, through the frame writer and the serial
// component, next to the same frame written by a bare loop of system calls: time, calls, and
// whether the board latched what was written. Each side has its own pseudo-terminal with the
// virtual board on it.
class FrameCost
{
public:
    enum class Kind { WriteRelays, WriteAllOff, BareLoop, BareLoopZeros };

    struct Figures
    {
        Kind kind;
        QString name;
        Spread duration;
        SystemCallCounter::Counts calls; // summed over all frames
        qint64 cpuNs = 0; // the process's CPU time, summed over all frames
        int frames = 0;
        qint64 latched = 0;
        int failed = 0;
        // Blocks after which the board's outputs were not the last frame written.
        int wrongOutputs = 0;

        double perFrame(long long total) const { return frames ? double(total) / frames : 0; }
    };

    FrameCost();

    // Empty when both pseudo-terminals are ready.
    QString prepare();
    // Writes the same frames both ways with the board's trace on and compares what the board
    // saw: line changes, shifts and latches. Empty when they are the same.
    QString compareWire(int frames);
    // framesPerKind frames of every kind, in interleaved blocks so that a slow moment of the
    // machine does not fall on one kind only.
    QList<Figures> measure(int framesPerKind);

    // The bare loop's side: the line set up once as the serial component sets it up at every
    // opening, and a frame with nothing but the calls it needs.
    static bool setUpBareLine(const QByteArray &device);
    static bool bareFrame(const QByteArray &device, quint8 outputs);

private:
    bool writeFrame(Kind kind, quint8 outputs);
    QString boardDevice(Kind kind) const;

    const std::unique_ptr<PseudoTerminal> m_portPty;
    PseudoTerminal m_barePty;
    // Frames written on the calling thread, claim included; the claim goes with the board, before
    // the pseudo-terminal, so that a later run that gets the same device is not refused.
    RelayBoard m_board;
    LinkError m_lastError;
    QByteArray m_bareDevice;
};
