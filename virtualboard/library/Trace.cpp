// SPDX-License-Identifier: MIT
#include "Trace.h"

#include "RealCalls.h"

#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr size_t kFlushAt = 64 * 1024;

void writeAll(int fd, const std::string &text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = RealCalls::get().write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += size_t(n);
    }
}
} // namespace

Trace::~Trace()
{
    flush();
}

int64_t Trace::monotonicNs()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

int Trace::openOutput(const std::string &path)
{
    if (path.empty())
        return -1;
    if (path == "stderr")
        return STDERR_FILENO;
    return RealCalls::get().openat(
        AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void Trace::closeOutput(int &fd)
{
    if (fd > STDERR_FILENO)
        RealCalls::get().close(fd);
    fd = -1;
}

void Trace::setTracePath(const std::string &path)
{
    flush();
    closeOutput(m_traceFd);
    m_traceFd = openOutput(path);
    if (m_traceFd >= 0) {
        // The one wall-clock reading, so that the monotonic times can be placed in the day.
        timespec wall {};
        clock_gettime(CLOCK_REALTIME, &wall);
        char header[160];
        std::snprintf(header, sizeof header,
            "# virtualboard trace pid=%d monotonic=%.6f wall=%lld.%06ld\n", int(getpid()),
            double(monotonicNs()) / 1e9, (long long)wall.tv_sec, long(wall.tv_nsec / 1000));
        m_buffer += header;
    }
}

void Trace::setLivePath(const std::string &path)
{
    closeOutput(m_liveFd);
    m_liveFd = openOutput(path);
    m_lastLive.clear();
}

void Trace::event(
    const std::string &device, const char *kind, const char *name, const std::string &fields)
{
    event(device, kind, name, fields, monotonicNs());
}

void Trace::event(const std::string &device, const char *kind, const char *name,
    const std::string &fields, int64_t monotonicNs)
{
    if (m_traceFd < 0)
        return;
    char head[96];
    std::snprintf(head, sizeof head, "%lld.%06lld %d ", (long long)(monotonicNs / 1000000000),
        (long long)(monotonicNs % 1000000000 / 1000), int(getpid()));
    m_buffer += head;
    m_buffer += device;
    m_buffer += ' ';
    m_buffer += kind;
    m_buffer += ' ';
    m_buffer += name;
    if (!fields.empty()) {
        m_buffer += ' ';
        m_buffer += fields;
    }
    m_buffer += '\n';
    if (m_buffer.size() >= kFlushAt)
        flush();
}

void Trace::live(const std::string &device, unsigned outputs)
{
    if (m_liveFd < 0)
        return;
    std::string lamps;
    for (int channel = 1; channel <= 8; ++channel) {
        lamps += ' ';
        lamps += char('0' + channel);
        lamps += (outputs >> (channel - 1) & 1) ? ":ON " : ":off";
    }
    while (lamps.back() == ' ')
        lamps.pop_back();
    const std::string key = device + lamps;
    if (m_liveChangesOnly && key == m_lastLive)
        return;
    m_lastLive = key;

    timespec wall {};
    clock_gettime(CLOCK_REALTIME, &wall);
    tm local {};
    localtime_r(&wall.tv_sec, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03ld ", local.tm_hour, local.tm_min,
        local.tm_sec, long(wall.tv_nsec / 1000000));
    writeAll(m_liveFd, stamp + device + " " + lamps + "\n");
}

void Trace::flush()
{
    if (m_traceFd >= 0 && !m_buffer.empty())
        writeAll(m_traceFd, m_buffer);
    m_buffer.clear();
}
