// SPDX-License-Identifier: MIT
#include "UnclaimedPseudoTerminal.h"

#include "DeviceClaim.h"

#include <cstdio>

std::vector<std::unique_ptr<PseudoTerminal>> unclaimedPseudoTerminals(int count)
{
    constexpr int kPassedOverLimit = 16;
    std::vector<std::unique_ptr<PseudoTerminal>> terminals;
    // Held open until all are found, so that the kernel hands out other numbers meanwhile.
    std::vector<std::unique_ptr<PseudoTerminal>> passedOver;
    while (int(terminals.size()) < count) {
        auto terminal = std::make_unique<PseudoTerminal>();
        // The probe lets go at once: the program's board claims the device for itself.
        DeviceClaim probe;
        if (!terminal->isValid() || passedOver.size() == kPassedOverLimit
            || probe.claim(terminal->slave()) != DeviceClaim::Result::Refused) {
            terminals.push_back(std::move(terminal));
            continue;
        }
        std::fprintf(stderr, "relvoog-bench: passing over %s, claimed by %s\n",
            qPrintable(terminal->slave()), qPrintable(probe.holder()));
        passedOver.push_back(std::move(terminal));
    }
    return terminals;
}
