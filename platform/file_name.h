// SPDX-License-Identifier: Apache-2.0
// Windows only (file_name_win32.cpp, used by the _win32 twins): a file name
// of the suite as the UTF-16 name the "W" file calls take, so that a folder
// or file named in any language is found whatever the system code page.
#pragma once

#include <optional>
#include <string>

namespace platform {

// `name` read as UTF-8. A name that is not UTF-8 is read in the system code
// page instead: the command-line arguments of main() arrive in it, and a
// name made of them keeps working as it did. Nothing for a name with a zero
// byte, which names no file.
std::optional<std::wstring> windowsFileName(const std::string& name);

}  // namespace platform
