// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>

// The library's two outputs: the machine-readable trace, one event a line, and the live view,
// one line a latched frame. Both are written with the real write(), never through the hooks.
class Trace
{
public:
    ~Trace();

    // An empty path switches the output off.
    void setTracePath(const std::string &path);
    void setLivePath(const std::string &path);
    void setLiveChangesOnly(bool changesOnly) { m_liveChangesOnly = changesOnly; }

    bool tracing() const { return m_traceFd >= 0; }

    // kind is "call", "line", "board" or "fault"; fields are "key=value" words.
    void event(const std::string &device, const char *kind, const char *name,
        const std::string &fields = std::string());
    void event(const std::string &device, const char *kind, const char *name,
        const std::string &fields, int64_t monotonicNs);
    void live(const std::string &device, unsigned outputs);

    // Frames are traced into a buffer, written out at every close and when it grows.
    void flush();

    static int64_t monotonicNs();

private:
    int openOutput(const std::string &path);
    void closeOutput(int &fd);

    int m_traceFd = -1;
    int m_liveFd = -1;
    bool m_liveChangesOnly = false;
    std::string m_buffer;
    std::string m_lastLive;
};
