// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>

#include <functional>
#include <limits>

// The local date and time, for a tick that reads them a hundred times a second. The C library's
// local time looks the time zone up again at every reading (a getenv and a stat of
// /etc/localtime), an eighth of the idle service's CPU; here the zone's offset from UTC is looked
// up once a second instead. Offsets change only on whole seconds, so the readings within one
// second share theirs, and a change to summer time, or of the machine's zone, counts from the
// second it takes effect.
class WallClock
{
public:
    // Milliseconds since the epoch, UTC.
    using UtcSource = std::function<qint64()>;

    explicit WallClock(UtcSource utc = &QDateTime::currentMSecsSinceEpoch);

    QDateTime operator()();

private:
    UtcSource m_utc;
    qint64 m_second = std::numeric_limits<qint64>::min();
    int m_offsetFromUtc = 0;
};
