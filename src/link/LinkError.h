// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Why a port operation or a relay frame failed: the step that failed, and a sentence in the
// language in force that names the device and gives the system's own words for the reason
// ("/dev/ttyUSB0 cannot be opened: Permission denied.").
struct LinkError
{
    enum class Reason {
        None,
        OpenFailed, // absent, held by another program, no permission
        ConsoleRefused, // the device is a system console and was not opened
        LineFailed, // DTR or RTS could not be set
        TransmitFailed, // the strobe did not leave the line
        Claimed, // another copy of the program drives the device; it was not touched
        NoAnswer, // a request to the adapter has not returned for too long
    };

    Reason reason = Reason::None;
    QString text;
    int code = 0; // the system's error number (errno), or 0

    bool failed() const { return reason != Reason::None; }
    // The port was never opened, so nothing reached the line.
    bool notOpened() const
    {
        return reason == Reason::OpenFailed || reason == Reason::ConsoleRefused
            || reason == Reason::Claimed;
    }
};
