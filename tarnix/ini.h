// Tarnix's ini file: "name = value" entries (the same form as a unit's value
// reply), naming the unit in a TargetIP entry and the modes to set with -s.
// A listing that Tarnix prints reads back as such a file: its "#" headings
// never name a mode.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/modes.h"

namespace tarnix {

// Mode names of this many characters or more, from the unit or the ini file,
// end the run.
inline constexpr std::size_t kLongModeName = 50;

// How Tarnix reads names and size tokens from the unit's replies.
inline constexpr protocol::NameLimits kNameLimits{
    .keep = 255, .sizeToken = 50, .fatalAt = kLongModeName};

// The whole file, opened for reading only, up to its first zero byte;
// nothing when it cannot be opened.
std::optional<std::string> readIniText(const std::string& path);

// The value of the first entry named exactly "TargetIP" (case matters), which
// ends at a comma as well, without trailing white space.
std::optional<std::string> findTargetIp(std::string_view text);

// Stores the value of every entry that names a known mode, unless it is
// "(Not Set)", as that mode's ini value and flags it. Returns the first entry
// name of kLongModeName characters or more, which stops the reading.
std::optional<std::string> applyIniValues(protocol::ModeTable& table, std::string_view text);

// The set lines for the flagged modes, in table order. TextReset and
// ServerType go last, in that order: a text reset would undo texts set after
// it, and a new server type takes effect at once.
struct SetPlan {
    std::vector<std::string> lines;
    std::optional<std::string> textReset;
    std::optional<std::string> serverType;
};
SetPlan planSets(const protocol::ModeTable& table);

}  // namespace tarnix
