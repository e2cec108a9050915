// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "platform/file_name.h"
#include "platform/utf16.h"

namespace platform {

namespace {

std::optional<std::wstring> fromCodePage(const std::string& name) {
    if (name.empty())
        return std::wstring();
    const int size = static_cast<int>(name.size());
    const int wide = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
    if (wide <= 0)
        return std::nullopt;
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), size, out.data(), wide);
    return out;
}

}  // namespace

std::optional<std::wstring> windowsFileName(const std::string& name) {
    if (name.find('\0') != std::string::npos)
        return std::nullopt;
    if (std::optional<std::wstring> wide = utf16FromUtf8(name))
        return wide;
    return fromCodePage(name);
}

}  // namespace platform
