// SPDX-License-Identifier: Apache-2.0
// The mode tools' ini file (Tarnix.ini, unitfleet's INI): "name = value"
// entries (the same form as a unit's value reply), naming the unit in a
// TargetIP entry and the modes to set. A listing that Tarnix prints reads back
// as such a file: its "#" headings never name a mode.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/modes.h"

namespace protocol {

// Mode names of this many characters or more, from the unit or the ini file,
// end a Tarnix run.
inline constexpr std::size_t kLongModeName = 50;

// The whole file, opened for reading only, up to its first zero byte;
// nothing when it cannot be opened.
std::optional<std::string> readIniText(const std::string& path);

// The value of the first entry named exactly "TargetIP" (case matters), which
// ends at a comma as well, without trailing white space.
std::optional<std::string> findTargetIp(std::string_view text);

// One entry of the file and the line (from 1) its name stands on.
struct IniEntry {
    std::string_view name;
    std::string_view value;  // as read, trailing white space included
    int line = 0;
};
// Every entry, in file order, read by the rules above.
std::vector<IniEntry> iniEntries(std::string_view text);

// Stores the value of every entry that names a known mode, unless it is
// "(Not Set)", as that mode's ini value and flags it. Returns the first entry
// name of kLongModeName characters or more, which stops the reading.
std::optional<std::string> applyIniValues(ModeTable& table, std::string_view text);

// The set lines for the flagged modes, in table order. TextReset and
// ServerType go last, in that order: a text reset would undo texts set after
// it, and a new server type takes effect at once.
struct SetPlan {
    std::vector<std::string> lines;
    std::optional<std::string> textReset;
    std::optional<std::string> serverType;
};
SetPlan planSets(const ModeTable& table);

// The flagged modes to set, as indices into the table, in the order in which
// the set lines above go out (TextReset, then ServerType, last).
std::vector<std::size_t> setOrder(const ModeTable& table);

}  // namespace protocol
