// SPDX-License-Identifier: Apache-2.0
// The simulated unit's mode table as a human-editable text: the built-in
// default and the mode-file format that `unitsim --help` documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace unitsim {

struct ModeDef {
    std::string name;
    std::string type;  // "STRING", "BOOLEAN", "INTEGER", ...
    int size = 0;      // for STRING: the most characters a value may hold
    std::string help;
    std::string value;  // current value, as the unit reports it
    bool readOnly = false;
};

// A realistic table of a few dozen modes (UnitID, UnitStatus, POSTimeout,
// TextReset, ServerType, DateTime, ProductName, buildInfo, ...).
std::vector<ModeDef> defaultModes();

// Reads a mode file (format in kModeFileHelp); nothing and a message in
// `error` when it cannot be read or a line is malformed.
std::optional<std::vector<ModeDef>> loadModeFile(const std::string& path, std::string& error);

// Reads a mode file's text. On a malformed line: nothing, and "line N: why"
// in `error`.
std::optional<std::vector<ModeDef>> parseModeText(std::string_view text, std::string& error);

// The table in the mode-file format, so `unitsim --print-modes` gives users a
// file to start editing from.
std::string formatModeText(const std::vector<ModeDef>& modes);

// Index of the first mode whose name equals `name` ignoring case; -1 if none.
int findModeDef(const std::vector<ModeDef>& modes, std::string_view name);

// The mode-file format, for --help.
extern const char* const kModeFileHelp;

}  // namespace unitsim
