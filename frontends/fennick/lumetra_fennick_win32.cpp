// SPDX-License-Identifier: Apache-2.0
#include "frontends/fennick/lumetra_fennick.h"
#include "lumetra/lumetra.h"
#include "platform/program_folder.h"
#include "platform/shared_library.h"
#include "ui/win32/window.h"

namespace fennick {

namespace {

using FennickExport = decltype(&::Fennick);

// The Fennick export of Lumetra.dll from the program's own folder, bound at
// the first call that finds it and kept for the program's life; a call that
// does not find it tries again, so a library put in place later is used.
FennickExport boundFennick(std::string& error) {
    static platform::SharedLibrary library;
    static FennickExport fennick = nullptr;
    if (fennick != nullptr)
        return fennick;
    const std::filesystem::path path = platform::programFolder() / L"Lumetra.dll";
    const std::string shown = ui::win32::narrow(path.wstring());
    std::string why;
    if (!library.isOpen() && !library.open(path, why)) {
        error = "cannot load '" + shown + "' (" + why + ")";
        return nullptr;
    }
    fennick = reinterpret_cast<FennickExport>(library.find("Fennick", why));
    if (fennick == nullptr)
        error = "'" + shown + "' has no function Fennick";
    return fennick;
}

}  // namespace

std::optional<std::int16_t> callFennick(const PortSettings& s, std::string& error) {
    FennickExport fennick = boundFennick(error);
    if (fennick == nullptr)
        return std::nullopt;
    return fennick(s.address.c_str(), s.speed, s.dataBits, s.parity.c_str(), s.stopBits,
                   s.flow.c_str());
}

}  // namespace fennick
