// SPDX-License-Identifier: Apache-2.0
// How many descriptors (sockets and files) the process may hold at once.
#pragma once

#include <cstddef>

namespace platform {

// Raises the soft limit on open descriptors towards `wanted` (at most to the
// hard limit) and returns the limit now in force. Systems without such a
// limit return `wanted`.
std::size_t raiseDescriptorLimit(std::size_t wanted);

}  // namespace platform
