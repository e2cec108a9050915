// SPDX-License-Identifier: Apache-2.0
// String results on Windows: real OLE system strings (BSTR) that carry the
// text's 8-bit bytes, as callers written for the Windows library expect; they
// free them with SysFreeString.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <cstring>

#include "lumetra/result_string.h"

namespace lumetra {

char* makeResultString(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    // Whole two-byte units: an odd text gets its zero byte inside the count.
    std::size_t units = (text.size() + 1) / 2;
    if (units > UINT32_MAX / 4)
        return nullptr;
    BSTR string = SysAllocStringLen(nullptr, static_cast<UINT>(units));
    if (string == nullptr)
        return nullptr;
    auto* bytes = reinterpret_cast<char*>(string);
    // SysAllocStringLen(nullptr, ...) leaves the units uninitialised.
    std::memset(bytes, 0, units * 2);
    if (!text.empty())
        std::memcpy(bytes, text.data(), text.size());
    return bytes;
}

}  // namespace lumetra
