// SPDX-License-Identifier: Apache-2.0
// The data folder, the same on every system: the build tells where the data
// sits relative to the installed programs (PLATFORM_DATA_FROM_PROGRAM).
#include <system_error>

#include "platform/program_folder.h"

namespace platform {

std::filesystem::path dataFolderOf(const std::filesystem::path& program,
                                   const std::filesystem::path& relative) {
    if (program.empty() || relative.empty())
        return program;
    std::error_code error;
    const std::filesystem::path installed = (program / relative).lexically_normal();
    return std::filesystem::is_directory(installed, error) ? installed : program;
}

std::filesystem::path programDataFolder() {
    return dataFolderOf(programFolder(), PLATFORM_DATA_FROM_PROGRAM);
}

}  // namespace platform
