// SPDX-License-Identifier: Apache-2.0
// The process's limit on open descriptors, for a program that holds
// thousands of sockets at once (unitsim's units, its load generator).
#pragma once

#include <cstddef>

namespace platform {

// Raises the soft limit on open files towards the hard one so that `needed`
// descriptors fit; false when even the hard limit is too low.
bool raiseOpenFileLimit(std::size_t needed);

}  // namespace platform
