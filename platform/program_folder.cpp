// SPDX-License-Identifier: Apache-2.0
// The program's folder on Linux, from the kernel's link to the running file.
#include "platform/program_folder.h"

#include <system_error>

namespace platform {

std::filesystem::path programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

}  // namespace platform
