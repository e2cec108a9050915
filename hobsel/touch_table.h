// SPDX-License-Identifier: Apache-2.0
// The touch demo's script: named states, each an ordered list of entries,
// read from the text of "touch.dat".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hobsel {

inline constexpr std::size_t kMostTouchStates = 99;
// Entries and their texts share this many bytes: an entry takes 8, a text
// its length and a zero byte.
inline constexpr std::size_t kTouchPoolSize = 65000;
inline constexpr std::size_t kTouchEntryCost = 8;
// Longer lines are cut to this many characters.
inline constexpr std::size_t kMostTouchLine = 1023;
// The most of "touch.dat" that is read.
inline constexpr std::size_t kMostTouchFile = 131071;

struct TouchEntry {
    std::string name;
    std::optional<std::string> value;
};

struct TouchState {
    std::string name;
    std::vector<TouchEntry> entries;
};

struct TouchTable {
    std::vector<TouchState> states;
    // Every line was taken: no state was refused for want of room.
    bool complete = true;

    // The state of that name, compared case-insensitively; null when missing.
    const TouchState* find(std::string_view name) const;
    // Complete and holding an "INIT" state: a table the demo can run.
    bool usable() const { return complete && find("INIT") != nullptr; }
};

// Builds the table from the file's text.
TouchTable parseTouchTable(std::string_view text);

// Reads a value as a boolean: "1", "T", "Y", "ON" are true, "0", "F", "N",
// "OF..." false (first characters, either case); anything else, and no value,
// gives `fallback`.
bool readBoolean(const std::optional<std::string>& value, bool fallback);
// True when the value reads as true or false without the fallback.
bool isBooleanValue(const std::optional<std::string>& value);

// The names of entries that run an operation when their state is entered.
bool isOperationName(std::string_view name);

}  // namespace hobsel
