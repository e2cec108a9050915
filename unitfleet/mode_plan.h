// What an ini file asks of one unit: the modes whose value would change, in
// the order the mode tools send them, and the faults of the file itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/modes.h"

namespace unitfleet {

// The longest set line ("name = value") the mode tools send.
inline constexpr std::size_t kLongestSetLine = 255;

// "FILE:LINE: why" for every fault of an ini file: a mode name too long for
// the mode tools, a set line too long, a mode set twice; "FILE: sets no
// modes" when nothing in it names a mode.
std::vector<std::string> checkIni(std::string_view text, const std::string& file);

struct Change {
    std::string mode;
    std::optional<std::string> unitValue;  // nothing: the unit reported none
    std::string newValue;
};

// The modes of `table` (NVRam values filled) that the ini text would set to
// another value, compared byte for byte: a change of case alone is a change.
// Modes the unit does not have are skipped, as the mode tools skip them.
std::vector<Change> plannedChanges(const protocol::ModeTable& table, std::string_view iniText);

// "name = value", the set line the mode tools send.
std::string setLine(const Change& change);

}  // namespace unitfleet
