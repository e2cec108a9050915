// SPDX-License-Identifier: Apache-2.0
// Where the window finds its help file: beside the program. Kept in one
// place so an installed layout can move it.
#pragma once

#include <filesystem>

namespace veltrin {

inline constexpr const char* kHelpFileName = "VeltrinHelp.rtf";

// The help file for a program in `programFolder`.
inline std::filesystem::path helpFile(const std::filesystem::path& programFolder) {
    return programFolder / kHelpFileName;
}

}  // namespace veltrin
