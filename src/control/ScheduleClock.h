#pragma once

#include <QDateTime>
#include <QTimer>

#include <chrono>
#include <functional>

class ChannelControl;
class ChannelView;
class Module1;

// The 10 ms tick: shows the time and date, switches the automatic channels at their switching
// times, and rewrites the whole frame every time.
class ScheduleClock
{
public:
    using Clock = std::function<QDateTime()>;

    ScheduleClock(ChannelControl &channels, const Module1 &store, ChannelView &view,
        Clock now = &QDateTime::currentDateTime);

    // Starts Timer1; ticks follow on the thread's event loop.
    void start();
    void tick();

    static constexpr std::chrono::milliseconds kTickInterval {10};

private:
    ChannelControl &m_channels;
    const Module1 &m_store;
    ChannelView &m_view;
    Clock m_now;
    QTimer m_timer1;
};
