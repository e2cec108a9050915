// SPDX-License-Identifier: Apache-2.0
// The answer escape decoders, key templates, touch rectangles and print
// bodies on arbitrary text: nothing may be read or written past the text.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "hobsel/barcode_answer.h"
#include "hobsel/lookup.h"
#include "protocol/escapes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Exact-size heap copies, so the sanitizer sees any step past the end.
    std::unique_ptr<char[]> control(new char[size]);
    std::unique_ptr<char[]> hex(new char[size]);
    std::memcpy(control.get(), data, size);
    std::memcpy(hex.get(), data, size);
    std::size_t c = protocol::decodeControlEscapes(control.get(), size);
    std::size_t h = protocol::decodeHexEscapes(hex.get(), size);
    if (c > size || h > size)
        __builtin_trap();
    // Both in a row, as trivial answers are decoded.
    protocol::decodeHexEscapes(control.get(), c);

    std::string text(reinterpret_cast<const char*>(data), size);
    long keyCode = size > 0 ? data[0] : 0;
    std::size_t capacity = 1 + size % 300;
    if (hobsel::fillKeyTemplate(text, keyCode, capacity).size() >= capacity)
        __builtin_trap();
    if (auto r = hobsel::readRectangle(text); r && r->second > text.size())
        __builtin_trap();
    if (hobsel::printBody(text).size() > hobsel::kMostFramedBody)
        __builtin_trap();
    return 0;
}
