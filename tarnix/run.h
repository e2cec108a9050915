// SPDX-License-Identifier: Apache-2.0
// The whole of one Tarnix run, from settled options to the exit status.
#pragma once

#include "tarnix/console.h"
#include "tarnix/options.h"

namespace tarnix {

// Lists, gets or sets modes as `settings` ask and returns the exit status
// (-1 shows as 255 to the shell).
int run(const Settings& settings, Console console = {});

}  // namespace tarnix
