// SPDX-License-Identifier: MIT
#pragma once

#include <QStringList>

#include <optional>

// The kernel's names of the devices that are the system console ("ttyS0", "tty1"), from
// /proc/consoles and /sys/class/tty/console/active; nothing when neither can be read.
std::optional<QStringList> systemConsoles(
    const QString &procConsoles = QStringLiteral("/proc/consoles"),
    const QString &activeConsoles = QStringLiteral("/sys/class/tty/console/active"));
