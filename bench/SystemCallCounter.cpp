// SPDX-License-Identifier: MIT
#include "SystemCallCounter.h"

#include <atomic>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <initializer_list>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#define COUNTED extern "C" __attribute__((visibility("default")))

namespace {
constexpr int kTrackedDescriptors = 4096;

std::atomic<bool> s_counting {false};
std::atomic<long long> s_open {0};
std::atomic<long long> s_ioctl {0};
std::atomic<long long> s_write {0};
std::atomic<long long> s_close {0};
std::atomic<long long> s_device {0};
std::atomic<long long> s_line {0};
// Descriptors open on a device under /dev, kept up to date whether or not counting is on.
std::atomic<bool> s_isDevice[kTrackedDescriptors] {};

template<typename Function> Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

void count(std::atomic<long long> &counter)
{
    if (s_counting.load(std::memory_order_relaxed))
        counter.fetch_add(1, std::memory_order_relaxed);
}

bool isDevice(int fd)
{
    return fd >= 0 && fd < kTrackedDescriptors && s_isDevice[fd].load(std::memory_order_relaxed);
}

void countDeviceRequest(int fd, bool lineRequest)
{
    if (!isDevice(fd))
        return;
    count(s_device);
    if (lineRequest)
        count(s_line);
}

int opened(const char *path, int fd)
{
    count(s_open);
    if (fd >= 0 && fd < kTrackedDescriptors)
        s_isDevice[fd].store(path && std::strncmp(path, "/dev/", 5) == 0);
    return fd;
}

bool needsMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

#define MODE_ARGUMENT(flags)                                                                       \
    mode_t mode = 0;                                                                               \
    if (needsMode(flags)) {                                                                        \
        va_list arguments;                                                                         \
        va_start(arguments, flags);                                                                \
        mode = mode_t(va_arg(arguments, int));                                                     \
        va_end(arguments);                                                                         \
    }
} // namespace

SystemCallCounter::Counts &SystemCallCounter::Counts::operator+=(const Counts &other)
{
    open += other.open;
    ioctl += other.ioctl;
    write += other.write;
    close += other.close;
    deviceRequests += other.deviceRequests;
    lineRequests += other.lineRequests;
    return *this;
}

void SystemCallCounter::start()
{
    for (auto *counter : {&s_open, &s_ioctl, &s_write, &s_close, &s_device, &s_line})
        counter->store(0);
    s_counting.store(true);
}

SystemCallCounter::Counts SystemCallCounter::stop()
{
    s_counting.store(false);
    Counts counts;
    counts.open = s_open.load();
    counts.ioctl = s_ioctl.load();
    counts.write = s_write.load();
    counts.close = s_close.load();
    counts.deviceRequests = s_device.load();
    counts.lineRequests = s_line.load();
    return counts;
}

COUNTED int open(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    static const auto real = next<int (*)(const char *, int, ...)>("open");
    return opened(path, real(path, flags, mode));
}

COUNTED int open64(const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    static const auto real = next<int (*)(const char *, int, ...)>("open64");
    return opened(path, real(path, flags, mode));
}

COUNTED int openat(int dirfd, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat");
    return opened(path, real(dirfd, path, flags, mode));
}

COUNTED int openat64(int dirfd, const char *path, int flags, ...)
{
    MODE_ARGUMENT(flags)
    static const auto real = next<int (*)(int, const char *, int, ...)>("openat64");
    return opened(path, real(dirfd, path, flags, mode));
}

COUNTED int __open_2(const char *path, int flags)
{
    static const auto real = next<int (*)(const char *, int)>("__open_2");
    return opened(path, real(path, flags));
}

COUNTED int __open64_2(const char *path, int flags)
{
    static const auto real = next<int (*)(const char *, int)>("__open64_2");
    return opened(path, real(path, flags));
}

COUNTED int __openat_2(int dirfd, const char *path, int flags)
{
    static const auto real = next<int (*)(int, const char *, int)>("__openat_2");
    return opened(path, real(dirfd, path, flags));
}

COUNTED int __openat64_2(int dirfd, const char *path, int flags)
{
    static const auto real = next<int (*)(int, const char *, int)>("__openat64_2");
    return opened(path, real(dirfd, path, flags));
}

COUNTED int ioctl(int fd, unsigned long request, ...) __THROW
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    static const auto real = next<int (*)(int, unsigned long, ...)>("ioctl");
    count(s_ioctl);
    countDeviceRequest(fd,
        request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMSET);
    return real(fd, request, argument);
}

COUNTED ssize_t write(int fd, const void *data, size_t size)
{
    static const auto real = next<ssize_t (*)(int, const void *, size_t)>("write");
    count(s_write);
    countDeviceRequest(fd, false);
    return real(fd, data, size);
}

COUNTED int close(int fd)
{
    static const auto real = next<int (*)(int)>("close");
    count(s_close);
    if (fd >= 0 && fd < kTrackedDescriptors)
        s_isDevice[fd].store(false);
    return real(fd);
}

COUNTED int tcgetattr(int fd, struct termios *settings) __THROW
{
    static const auto real = next<int (*)(int, struct termios *)>("tcgetattr");
    count(s_ioctl);
    countDeviceRequest(fd, false);
    return real(fd, settings);
}

COUNTED int tcsetattr(int fd, int when, const struct termios *settings) __THROW
{
    static const auto real = next<int (*)(int, int, const struct termios *)>("tcsetattr");
    count(s_ioctl);
    countDeviceRequest(fd, false);
    return real(fd, when, settings);
}

COUNTED int tcdrain(int fd)
{
    static const auto real = next<int (*)(int)>("tcdrain");
    count(s_ioctl);
    countDeviceRequest(fd, false);
    return real(fd);
}

COUNTED int tcflush(int fd, int queue) __THROW
{
    static const auto real = next<int (*)(int, int)>("tcflush");
    count(s_ioctl);
    countDeviceRequest(fd, false);
    return real(fd, queue);
}
