// SPDX-License-Identifier: Apache-2.0
// Tarnix's ini file and its limits on mode names. The ini reader itself is
// shared with the other mode tools (protocol/mode_ini.h); Tarnix's code uses
// it under these names.
#pragma once

#include "protocol/mode_ini.h"

namespace tarnix {

using protocol::applyIniValues;
using protocol::findTargetIp;
using protocol::kLongModeName;
using protocol::planSets;
using protocol::readIniText;
using protocol::SetPlan;

// How Tarnix reads names and size tokens from the unit's replies.
inline constexpr protocol::NameLimits kNameLimits{
    .keep = 255, .sizeToken = 50, .fatalAt = kLongModeName};

}  // namespace tarnix
