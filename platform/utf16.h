// SPDX-License-Identifier: Apache-2.0
// The suite's file names are UTF-8 bytes; the Windows calls that take a file
// name in full take UTF-16 ("W" calls). These convert between the two.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// `text` read as UTF-8, as UTF-16 code units (one wchar_t each: 16 bits on
// Windows, where they are used). Nothing when `text` is not strict UTF-8: a
// stray or missing continuation byte, an overlong form, a surrogate, or a
// code point past U+10FFFF.
std::optional<std::wstring> utf16FromUtf8(std::string_view text);

// A path as the UTF-8 bytes the suite's file calls take (the native bytes on
// POSIX, converted from UTF-16 on Windows).
std::string utf8Path(const std::filesystem::path& path);

}  // namespace platform
