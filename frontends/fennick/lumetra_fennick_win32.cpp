// SPDX-License-Identifier: Apache-2.0
#include <windows.h>

#include "frontends/fennick/lumetra_fennick.h"
#include "lumetra/lumetra.h"
#include "ui/win32/window.h"

namespace fennick {

namespace {

using FennickExport = decltype(&::Fennick);

// Lumetra.dll from the program's own folder, loaded at the first call and
// kept for the program's life.
HMODULE library(std::string& error) {
    static const std::wstring path = ui::win32::programFolder() + L"Lumetra.dll";
    static HMODULE module = nullptr;
    if (module == nullptr) {
        module = LoadLibraryW(path.c_str());
        if (module == nullptr)
            error = "cannot load '" + ui::win32::narrow(path) + "' (error " +
                    std::to_string(GetLastError()) + ")";
    }
    return module;
}

}  // namespace

std::optional<std::int16_t> callFennick(const PortSettings& s, std::string& error) {
    static FennickExport fennick = nullptr;
    if (fennick == nullptr) {
        HMODULE module = library(error);
        if (module == nullptr)
            return std::nullopt;
        fennick = reinterpret_cast<FennickExport>(
            reinterpret_cast<void*>(GetProcAddress(module, "Fennick")));
        if (fennick == nullptr) {
            error = "'" + ui::win32::narrow(ui::win32::programFolder()) +
                    "Lumetra.dll' has no function Fennick";
            return std::nullopt;
        }
    }
    return fennick(s.address.c_str(), s.speed, s.dataBits, s.parity.c_str(), s.stopBits,
                   s.flow.c_str());
}

}  // namespace fennick
