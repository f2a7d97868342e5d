// SPDX-License-Identifier: MIT
#include "WallClock.h"

WallClock::WallClock(UtcSource utc)
    : m_utc(std::move(utc))
{ }

QDateTime WallClock::operator()()
{
    const qint64 msecs = m_utc();
    const qint64 second = msecs / 1000;
    if (second != m_second) {
        m_second = second;
        m_offsetFromUtc = QDateTime::fromMSecsSinceEpoch(second * 1000).offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::OffsetFromUTC, m_offsetFromUtc);
}
