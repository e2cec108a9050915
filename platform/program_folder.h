// SPDX-License-Identifier: Apache-2.0
// Where the running program and its data files are, found from the program's
// own file so that an installed copy works wherever it was installed.
#pragma once

#include <filesystem>

namespace platform {

// The folder that holds the running program's executable; empty when the
// system cannot tell.
std::filesystem::path programFolder();

// The folder of the suite's data files (help file, images): the data folder
// installed beside the program's bin folder (share/unitsuite) when it exists,
// otherwise the program's own folder, which is where the build folder and a
// Windows installation keep them.
std::filesystem::path programDataFolder();

// The rule behind programDataFolder: `program / relative` when that folder
// exists and `relative` is not empty, else `program`.
std::filesystem::path dataFolderOf(const std::filesystem::path& program,
                                   const std::filesystem::path& relative);

}  // namespace platform
