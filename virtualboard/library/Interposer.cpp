// SPDX-License-Identifier: MIT
// The entry points this library puts in front of the C library's. Each one hands a descriptor
// that is no emulated pseudo-terminal straight to the real call.

#include "Board.h"
#include "RealCalls.h"
#include "Registry.h"
#include "virtualboard.h"

#include <cstdarg>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#define VB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {
bool needsMode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

mode_t modeArgument(int flags, va_list arguments)
{
    return needsMode(flags) ? mode_t(va_arg(arguments, int)) : mode_t(0);
}

__attribute__((constructor)) void start()
{
    Registry::instance();
}

__attribute__((destructor)) void finish()
{
    Registry::instance().flushTrace();
}
} // namespace

VB_EXPORT int open(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return Registry::instance().open(AT_FDCWD, path,
        [&](const char *target) { return RealCalls::get().open(target, flags, mode); });
}

VB_EXPORT int open64(const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return Registry::instance().open(AT_FDCWD, path,
        [&](const char *target) { return RealCalls::get().open64(target, flags, mode); });
}

VB_EXPORT int openat(int dirfd, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return Registry::instance().open(dirfd, path,
        [&](const char *target) { return RealCalls::get().openat(dirfd, target, flags, mode); });
}

VB_EXPORT int openat64(int dirfd, const char *path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const mode_t mode = modeArgument(flags, arguments);
    va_end(arguments);
    return Registry::instance().open(dirfd, path,
        [&](const char *target) { return RealCalls::get().openat64(dirfd, target, flags, mode); });
}

// The checked variants that _FORTIFY_SOURCE builds call instead of open() and openat().
VB_EXPORT int __open_2(const char *path, int flags)
{
    return Registry::instance().open(
        AT_FDCWD, path, [&](const char *target) { return RealCalls::get().open_2(target, flags); });
}

VB_EXPORT int __open64_2(const char *path, int flags)
{
    return Registry::instance().open(AT_FDCWD, path,
        [&](const char *target) { return RealCalls::get().open64_2(target, flags); });
}

VB_EXPORT int __openat_2(int dirfd, const char *path, int flags)
{
    return Registry::instance().open(dirfd, path,
        [&](const char *target) { return RealCalls::get().openat_2(dirfd, target, flags); });
}

VB_EXPORT int __openat64_2(int dirfd, const char *path, int flags)
{
    return Registry::instance().open(dirfd, path,
        [&](const char *target) { return RealCalls::get().openat64_2(dirfd, target, flags); });
}

VB_EXPORT int ioctl(int fd, unsigned long request, ...) __THROW
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().ioctl(fd, board, request, argument);
    return RealCalls::get().ioctl(fd, request, argument);
}

VB_EXPORT ssize_t write(int fd, const void *data, size_t size)
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().write(fd, board, data, size);
    return RealCalls::get().write(fd, data, size);
}

VB_EXPORT int close(int fd)
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().close(fd, board);
    return RealCalls::get().close(fd);
}

VB_EXPORT int dup2(int oldfd, int newfd) __THROW
{
    if (oldfd != newfd)
        Registry::instance().replaced(newfd);
    return RealCalls::get().dup2(oldfd, newfd);
}

VB_EXPORT int dup3(int oldfd, int newfd, int flags) __THROW
{
    Registry::instance().replaced(newfd);
    return RealCalls::get().dup3(oldfd, newfd, flags);
}

VB_EXPORT int tcgetattr(int fd, struct termios *settings) __THROW
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().tcgetattr(fd, board, settings);
    return RealCalls::get().tcgetattr(fd, settings);
}

VB_EXPORT int tcsetattr(int fd, int when, const struct termios *settings) __THROW
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().tcsetattr(fd, board, when, settings);
    return RealCalls::get().tcsetattr(fd, when, settings);
}

VB_EXPORT int tcdrain(int fd)
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().tcdrain(fd, board);
    return RealCalls::get().tcdrain(fd);
}

VB_EXPORT int tcflush(int fd, int queue) __THROW
{
    if (Board *board = Registry::tracked(fd))
        return Registry::instance().tcflush(fd, board, queue);
    return RealCalls::get().tcflush(fd, queue);
}

VB_EXPORT int virtualboard_control(const char *commands)
{
    return commands ? Registry::instance().control(commands) : -1;
}

VB_EXPORT int virtualboard_query(const char *device, struct virtualboard_state *state)
{
    if (!device || !state)
        return -1;
    return Registry::instance().state(device, state);
}
