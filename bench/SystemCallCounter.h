// SPDX-License-Identifier: MIT
#pragma once

// Counts the calls the process makes into the C library's open, ioctl, write and close while
// counting is on. The benchmark executable defines these entry points itself and forwards each
// call to the next definition (the virtual board's, then the C library's), so nothing else
// changes. tcgetattr() and its kin are ioctls to the kernel and are counted as such.
namespace SystemCallCounter {

struct Counts
{
    long long open = 0;
    long long ioctl = 0;
    long long write = 0;
    long long close = 0;
    // Of the ioctls and writes, those on a terminal device (the port), and of those the requests
    // that read or set the modem-control lines.
    long long deviceRequests = 0;
    long long lineRequests = 0;

    Counts &operator+=(const Counts &other);
};

void start();
Counts stop();

} // namespace SystemCallCounter
