// SPDX-License-Identifier: Apache-2.0
// unitfleet history: what changed on which unit, commit by commit, read from
// a backup folder kept with --git.
#pragma once

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unitfleet {

struct HistorySettings {
    std::string dir;
    std::string unit;                        // empty: every unit
    std::string since;                       // empty: from the first commit
    std::vector<std::string> volatileModes;  // added to DateTime
};

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM[:SS]" in local time; nothing otherwise.
std::optional<std::time_t> parseLocalDate(std::string_view text);

// Prints the history; 0 when it could be read, 2 for a bad date or folder.
int runHistory(const HistorySettings& settings, std::FILE* out, std::FILE* err);

}  // namespace unitfleet
