// SPDX-License-Identifier: Apache-2.0
#include "lumetra/result_string.h"

#include <cstdlib>
#include <cstring>

#include "lumetra/lumetra.h"

namespace lumetra {

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr std::size_t kTerminator = 2;

std::uint8_t* blockOf(char* text) {
    return reinterpret_cast<std::uint8_t*>(text) - kPrefix;
}

}  // namespace

char* makeResultString(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    // Whole two-byte units: an odd text gets its zero byte inside the count.
    std::size_t byteCount = (text.size() + 1) / 2 * 2;
    if (byteCount > UINT32_MAX - kPrefix - kTerminator)
        return nullptr;
    auto* block = static_cast<std::uint8_t*>(std::calloc(1, kPrefix + byteCount + kTerminator));
    if (block == nullptr)
        return nullptr;
    auto count = static_cast<std::uint32_t>(byteCount);
    std::memcpy(block, &count, kPrefix);
    if (!text.empty())
        std::memcpy(block + kPrefix, text.data(), text.size());
    return reinterpret_cast<char*>(block + kPrefix);
}

}  // namespace lumetra

extern "C" {

LUMETRA_API void LUMETRA_CALL LumetraFreeString(LumetraString text) {
    if (text != nullptr)
        std::free(lumetra::blockOf(text));
}

LUMETRA_API uint32_t LUMETRA_CALL LumetraStringByteLen(LumetraString text) {
    if (text == nullptr)
        return 0;
    std::uint32_t count;
    std::memcpy(&count, lumetra::blockOf(text), sizeof count);
    return count;
}

}  // extern "C"
