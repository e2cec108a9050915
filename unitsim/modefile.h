// The simulated unit's mode table as a human-editable text: the built-in
// default and the mode-file format that `unitsim --help` documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "unitsim/unit.h"

namespace unitsim {

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
