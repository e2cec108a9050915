// SPDX-License-Identifier: Apache-2.0
// The mode report: the grid's names and Content column as a text file.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veltrin {

// "Mode", three TABs, "Content"; an empty line; then per row the name padded
// with spaces to the longest name, "  = " and the content. CR LF line ends;
// the texts are the 8-bit bytes the unit sent.
std::string modeReport(const std::vector<std::string>& names,
                       const std::vector<std::string>& contents);

// Writes the report to `file`, replacing what it held. False when the file
// cannot be created or written; a plain file left incomplete is removed.
bool writeModeReport(const std::filesystem::path& file, const std::vector<std::string>& names,
                     const std::vector<std::string>& contents);

}  // namespace veltrin
