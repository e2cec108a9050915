// SPDX-License-Identifier: Apache-2.0
// The mode listing the mode tools print and save: one "name<padding>= value"
// line per mode, the names in a column as wide as the longest name plus 4. A
// saved "Current Content" listing reads back as an ini file that names the
// unit (TargetIP) and every mode's value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/modes.h"

namespace protocol {

// Width of the name column: the longest mode name plus 4.
int nameColumnWidth(const ModeTable& table);

// One mode line; a value the unit never reported shows as "(null)".
std::string modeLine(int width, std::string_view name, const std::optional<std::string>& value);

// The "Current Content" section with the NVRam values, exactly as a plain
// listing prints it: two empty lines, the heading, an empty line, the
// TargetIP line and a mode line per mode.
std::string currentContent(const ModeTable& table, std::string_view target);

// The byte size currentContent would have, found without building it, so a
// caller can refuse an oversized listing before it costs any memory.
std::size_t currentContentSize(const ModeTable& table, std::string_view target);

}  // namespace protocol
