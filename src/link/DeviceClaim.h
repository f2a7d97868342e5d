// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QString>

// Marks a serial device as driven by this process for as long as the object holds it, so that a
// second copy of the program, or the service, never writes to the same board. The claim is a
// listening abstract Unix socket named after the device: the kernel removes it with the process
// however that ends, and nothing is written to disk.
//
// Any local user can bind such a name first. A holder whose user could not open the device
// itself is therefore not obeyed: squatting then keeps nobody off the board, and is logged with
// the squatter's process and user. A holder who could open the device could drive the board
// anyway; it is named in the refusal.
class DeviceClaim
{
    Q_DECLARE_TR_FUNCTIONS(DeviceClaim)

public:
    DeviceClaim() = default;
    ~DeviceClaim();
    DeviceClaim(const DeviceClaim &) = delete;
    DeviceClaim &operator=(const DeviceClaim &) = delete;

    enum class Result {
        Claimed, // ours now, or nobody's that counts
        Absent, // no such device yet: nobody can drive it, so there is nothing to claim
        Refused, // another process that may use the device holds it; holder() says who
    };

    // Claims the device, letting go of whatever this object held before.
    Result claim(const QString &device);
    void release();
    // "process 1234 of user alice", in the language in force, after a refused claim.
    QString holder() const { return m_holder; }

private:
    int m_fd = -1;
    QString m_holder;
};
