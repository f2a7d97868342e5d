// SPDX-License-Identifier: MIT
#pragma once

#include <QDeadlineTimer>
#include <QTest>

#include <functional>

// Waits until the condition holds, looking every millisecond where QTRY_* looks every 50: what
// another process or a broker brings takes a few turns of the event loop and a few milliseconds.
// Gives up after 5 s.
inline bool soon(const std::function<bool()> &condition)
{
    for (QDeadlineTimer deadline(5000); !condition(); QTest::qWait(1))
        if (deadline.hasExpired())
            return false;
    return true;
}
