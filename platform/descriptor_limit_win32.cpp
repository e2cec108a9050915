// SPDX-License-Identifier: Apache-2.0
#include "platform/descriptor_limit.h"

namespace platform {

// Windows sockets have no per-process descriptor limit of this kind.
std::size_t raiseDescriptorLimit(std::size_t wanted) {
    return wanted;
}

}  // namespace platform
