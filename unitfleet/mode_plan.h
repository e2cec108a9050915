// SPDX-License-Identifier: Apache-2.0
// What a run asks of one unit: the modes and values to set (from an ini
// file, a saved listing or an Ansible task), checked as data before any unit
// is contacted, then held against each unit's own table: the modes whose
// value would change, in the order the mode tools send them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/modes.h"

namespace unitfleet {

// The longest set line ("name = value") the mode tools send.
inline constexpr std::size_t kLongestSetLine = 255;

// One mode and the value asked for it. Names and values are data: they never
// reach the unit unless checkSettings found nothing wrong with them.
struct ModeSetting {
    std::string name;
    std::string value;
    int line = 0;  // in its file, from 1; 0 when it comes from no file
    bool operator==(const ModeSetting&) const = default;
};

// The settings of an ini text (or a saved listing read as one): every entry
// but TargetIP, "#" lines and values "(Not Set)", in file order, values
// without trailing blanks.
std::vector<ModeSetting> iniSettings(std::string_view text);

// Every fault of a set of settings, "WHERE:LINE: why" ("WHERE: why" without a
// line): a name that is empty, holds '=', CR, LF or NUL or starts or ends with
// a blank; a value holding CR, LF or NUL; a name too long for the mode tools;
// a set line too long; a mode set twice; "WHERE: sets no modes" when there
// are none.
std::vector<std::string> checkSettings(const std::vector<ModeSetting>& settings,
                                       const std::string& where);

// checkSettings over iniSettings(text).
std::vector<std::string> checkIni(std::string_view text, const std::string& file);

// The names of `settings` that `table` lacks, in order.
std::vector<std::string> unknownModes(const protocol::ModeTable& table,
                                      const std::vector<ModeSetting>& settings);

// "the unit has no mode POSTimeot (did you mean POSTimeout?)", the hint only
// where one name of the table is close.
std::string noModeText(const protocol::ModeTable& table, const std::string& name);

// Whether `value` fits what the unit declares for `record`; false, with why
// in `error`, for a STRING longer than its size, a BOOLEAN other than TRUE or
// FALSE, an INTEGER that is not a decimal integer. Other types pass as they are.
bool valueFits(const protocol::ModeRecord& record, std::string_view value, std::string& error);

// The candidate closest to `name` (ignoring case) when one is at most two
// edits away and not most of the name; empty otherwise.
std::string closestName(std::string_view name, const std::vector<std::string>& candidates);

// What valueFits finds wrong, for every setting of a mode the table has whose value would be
// sent (a value equal to the unit's own is not: it is no change).
std::vector<std::string> valueFaults(const protocol::ModeTable& table,
                                     const std::vector<ModeSetting>& settings);

struct Change {
    std::string mode;
    std::optional<std::string> unitValue;  // nothing: the unit reported none
    std::string newValue;
};

// The modes of `table` (NVRam values filled) that `settings` would set to
// another value, compared byte for byte: a change of case alone is a change.
// Modes the unit does not have are left out (callers decide about them
// first, with unknownModes).
std::vector<Change> plannedChanges(const protocol::ModeTable& table,
                                   const std::vector<ModeSetting>& settings);

// "name = value", the set line the mode tools send.
std::string setLine(const Change& change);

}  // namespace unitfleet
