// SPDX-License-Identifier: Apache-2.0
// Answers a text request (a scanned barcode, a card swipe, or the body of a
// product query frame) from the data file, or with one of the demonstration
// answers.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "hobsel/context.h"
#include "hobsel/packet_log.h"

namespace hobsel {

// The answer buffer's first bytes are kept for a DATA frame header; records
// and answer texts start after it.
inline constexpr std::size_t kAnswerTextCapacity = kRequestSize - protocol::kDataHeaderSize;
// "SPEC", the text and 8 zero bytes must fit in a framed body.
inline constexpr std::size_t kMostPrintText = kMostFramedBody - 12;

// Answers the zero-terminated text request in `request` (trailing white
// space is removed in place).
void textAnswer(Context& c, char* request, Connection connection);

// The body of a print packet for `text` after its hexadecimal escapes are
// decoded: "SPEC", the text (cut to kMostPrintText bytes) and 8 zero bytes.
// Empty when nothing is left to print.
std::vector<std::uint8_t> printBody(std::string_view text);

}  // namespace hobsel
