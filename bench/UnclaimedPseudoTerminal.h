// SPDX-License-Identifier: MIT
#pragma once

#include "PseudoTerminal.h"

#include <memory>
#include <vector>

// Pseudo-terminals for the program's ports that no other process claims for a relay board. The
// kernel hands out the number of a closed pseudo-terminal again, and a process that closed one
// while holding its claim (earlier builds held every claim until they ended) would otherwise have
// every frame on it refused. Claimed ones are passed over, and said so on stderr.
std::vector<std::unique_ptr<PseudoTerminal>> unclaimedPseudoTerminals(int count);
