// SPDX-License-Identifier: Apache-2.0
// String results handed to the library's callers: the layout of an OLE
// system string (32-bit byte count, the bytes, two zero bytes), so a caller
// written for that layout can read them; freed with LumetraFreeString.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumetra {

// A new string result holding `text` (cut at its first zero byte); nullptr
// when memory ran out. Odd lengths get one zero byte added to make whole
// two-byte units.
char* makeResultString(std::string_view text);

}  // namespace lumetra
