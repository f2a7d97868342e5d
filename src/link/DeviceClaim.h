#pragma once

#include <QString>

// Marks a serial device as driven by this process for as long as it lives, so that a second copy
// of the program never writes to it. The claim is an abstract Unix socket named after the
// device: the kernel removes it with the process however that ends, and nothing is written to
// disk.
class DeviceClaim
{
public:
    // True when this process may drive the device: it claimed it now or before. False when
    // another process holds the claim.
    static bool claim(const QString &device);
};
