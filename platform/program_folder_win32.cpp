// SPDX-License-Identifier: Apache-2.0
// The program's folder on Windows, from the module file of the running .exe.
#include <windows.h>

#include <string>

#include "platform/program_folder.h"

namespace platform {

std::filesystem::path programFolder() {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (length == 0)
            return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        if (name.size() >= 32768)  // the longest path Windows has
            return {};
        name.resize(name.size() * 2);
    }
}

}  // namespace platform
