// SPDX-License-Identifier: MIT
#include "RealCalls.h"

#include <dlfcn.h>

namespace {
template<typename T> void resolve(T &pointer, const char *name)
{
    pointer = reinterpret_cast<T>(dlsym(RTLD_NEXT, name));
}

RealCalls load()
{
    RealCalls calls;
    resolve(calls.open, "open");
    resolve(calls.open64, "open64");
    resolve(calls.openat, "openat");
    resolve(calls.openat64, "openat64");
    resolve(calls.open_2, "__open_2");
    resolve(calls.open64_2, "__open64_2");
    resolve(calls.openat_2, "__openat_2");
    resolve(calls.openat64_2, "__openat64_2");
    resolve(calls.ioctl, "ioctl");
    resolve(calls.write, "write");
    resolve(calls.close, "close");
    resolve(calls.dup2, "dup2");
    resolve(calls.dup3, "dup3");
    resolve(calls.tcgetattr, "tcgetattr");
    resolve(calls.tcsetattr, "tcsetattr");
    resolve(calls.tcdrain, "tcdrain");
    resolve(calls.tcflush, "tcflush");
    return calls;
}
} // namespace

const RealCalls &RealCalls::get()
{
    // A function-local static is initialised once even when two threads get here together.
    static const RealCalls calls = load();
    return calls;
}
