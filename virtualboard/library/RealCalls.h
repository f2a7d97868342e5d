// SPDX-License-Identifier: MIT
#pragma once

#include <sys/types.h>
#include <termios.h>

// The C library's own entry points behind the ones this library replaces.
struct RealCalls
{
    int (*open)(const char *, int, ...) = nullptr;
    int (*open64)(const char *, int, ...) = nullptr;
    int (*openat)(int, const char *, int, ...) = nullptr;
    int (*openat64)(int, const char *, int, ...) = nullptr;
    int (*open_2)(const char *, int) = nullptr;
    int (*open64_2)(const char *, int) = nullptr;
    int (*openat_2)(int, const char *, int) = nullptr;
    int (*openat64_2)(int, const char *, int) = nullptr;
    int (*ioctl)(int, unsigned long, ...) = nullptr;
    ssize_t (*write)(int, const void *, size_t) = nullptr;
    int (*close)(int) = nullptr;
    int (*dup2)(int, int) = nullptr;
    int (*dup3)(int, int, int) = nullptr;
    int (*tcgetattr)(int, struct termios *) = nullptr;
    int (*tcsetattr)(int, int, const struct termios *) = nullptr;
    int (*tcdrain)(int) = nullptr;
    int (*tcflush)(int, int) = nullptr;

    // Resolved on first use: other libraries' constructors may open files before ours runs.
    static const RealCalls &get();
};
