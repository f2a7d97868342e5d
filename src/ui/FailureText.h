// SPDX-License-Identifier: MIT
#pragma once

#include "LinkError.h"

#include <QString>

// A link failure as the window tells it: the system's reason, and for the common causes a line
// on what helps.
QString failureText(const LinkError &error);
