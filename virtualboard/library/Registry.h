// SPDX-License-Identifier: MIT
#pragma once

#include "Trace.h"
#include "virtualboard.h"

#include <sys/types.h>
#include <termios.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class Board;

// Everything the hooks share: the emulated devices by path, which descriptor belongs to which
// device, the redirections, the guard, and the configuration from the environment and from
// virtualboard_control().
class Registry
{
public:
    static Registry &instance();

    // Lock-free, so that descriptors that are no pseudo-terminal pay one load and nothing else.
    static Board *tracked(int fd)
    {
        return fd >= 0 && fd < kMaxDescriptors ? s_descriptors[fd].load(std::memory_order_acquire)
                                               : nullptr;
    }

    int open(int dirfd, const char *path, const std::function<int(const char *)> &realOpen);
    int ioctl(int fd, Board *board, unsigned long request, void *arg);
    ssize_t write(int fd, Board *board, const void *data, size_t size);
    int close(int fd, Board *board);
    int tcgetattr(int fd, Board *board, termios *settings);
    int tcsetattr(int fd, Board *board, int when, const termios *settings);
    int tcdrain(int fd, Board *board);
    int tcflush(int fd, Board *board, int queue);
    // The kernel closes a descriptor that dup2() or dup3() reuses.
    void replaced(int fd);

    int control(const std::string &commands);
    int state(const std::string &device, virtualboard_state *state);
    void flushTrace();

private:
    Registry();

    static constexpr int kMaxDescriptors = 65536;
    static std::atomic<Board *> s_descriptors[kMaxDescriptors];

    bool command(const std::vector<std::string> &words);
    Board &boardFor(const std::string &device);
    Board *findBoard(const std::string &device);
    std::string redirected(const std::string &path) const;
    bool guarded(int dirfd, const std::string &path) const;
    // A slow adapter's request: blocks without holding the lock, so that other devices and the
    // control functions go on meanwhile.
    void awaitAdapter(std::unique_lock<std::mutex> &lock, Board *board, const char *call);
    // Blocks for a drain: returns false when the queue never empties within the stall limit.
    bool drain(std::unique_lock<std::mutex> &lock, Board *board, const char *call);
    void traceCall(
        Board *board, const char *call, const std::string &fields, long result, int error);

    std::mutex m_mutex;
    Trace m_trace;
    std::map<std::string, Board *> m_boards;
    std::map<std::string, std::string> m_redirections;
    std::vector<std::string> m_guards {"/dev/ttyS", "/dev/console"};
    int64_t m_stallNs = int64_t(30000) * 1000000;
};
