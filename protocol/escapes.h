// SPDX-License-Identifier: Apache-2.0
// Escape decoders for host answers. Both work in place on a byte range and
// return the new length; decoded text may contain zero bytes, so callers
// carry the length rather than look for a terminator.
#pragma once

#include <cstddef>

namespace protocol {

// The value of one hexadecimal digit, -1 for any other character.
int hexDigit(char c);

// "\n", "\r" and "\t" become line feed, carriage return and TAB; a backslash
// before any other character stays as it is.
std::size_t decodeControlEscapes(char* text, std::size_t length);

// A backslash, "x" and exactly two hexadecimal digits (either case) become
// the byte of that value; anything else stays as it is.
std::size_t decodeHexEscapes(char* text, std::size_t length);

}  // namespace protocol
