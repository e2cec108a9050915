// SPDX-License-Identifier: Apache-2.0
// What a host server answered to one request: whether it is a well-formed
// answer at all, and its text as --expect compares it.
#pragma once

#include <optional>
#include <string>

#include "unitsim/host_message.h"

namespace loadgen {

// Samples of wrong and malformed answers in a report show at most this many
// bytes of the answer (and of the expected text).
inline constexpr std::size_t kSampleBytes = 64;

// Why `answer` is no well-formed answer; nothing when it is one. As a unit
// tells them apart, the first byte decides: zero starts a frame, any other a
// text. A well-formed answer is one or more whole messages back to back
// (frames with a length field of 8 bytes to 1 MiB, texts up to their zero
// byte, in-line files whole), or a text whose last byte is zero (a
// double-byte text holds zero bytes of its own). `complete` false: the
// answer was cut to what is kept, so running out of bytes is no fault.
std::optional<std::string> malformation(const unitsim::MessageBytes& answer, bool complete = true);

// The text of an answer, as --expect compares it: unframed text up to its
// zero byte; a DATA frame's content; any other frame's body text.
std::string answerText(const unitsim::MessageBytes& answer);

// At most kSampleBytes of a text, quoted, with what was left out counted.
std::string sampleText(const std::string& text);
// The size and the first kSampleBytes of an answer in hex.
std::string sampleBytes(const unitsim::MessageBytes& answer);

}  // namespace loadgen
