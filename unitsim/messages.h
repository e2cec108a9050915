// SPDX-License-Identifier: Apache-2.0
// Cutting a byte stream from a peer into messages (frames and unframed
// text), and describing each message as one journal line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame.h"

namespace unitsim {

// No sane message is larger; a length field beyond this ends the connection.
inline constexpr std::size_t kMaxMessage = 1 << 20;

enum class CutKind {
    NeedMore,   // the message is not complete yet
    Frame,      // a frame of `size` bytes
    Text,       // unframed text of `size` bytes, its zero byte included
    BadLength,  // a length field below 8 or above the maximum: give up on the stream
};
struct Cut {
    CutKind kind = CutKind::NeedMore;
    std::size_t size = 0;
    std::uint32_t badLength = 0;
};

// The first message of `pending`. A first byte of zero starts a frame; any
// other starts text that runs to its zero byte. Text that starts with "<" is
// an in-line file reference: its zero byte is followed by a 4-byte big-endian
// size and that many bytes of file, all part of the same message.
Cut cutMessage(protocol::ConstBytes pending, std::size_t maxMessage = kMaxMessage);

// C-style quoted text: printable ASCII as is, \r \n \t \\ \" and \xHH.
std::string quoted(std::string_view text);
std::string hexBytes(protocol::ConstBytes bytes);

// "MDSQ \"UnitID\"", "DATA TEXT \"hello\"", "RGST \"id\" \"prod\" \"ip\"", ...
std::string describeFrame(protocol::ConstBytes frame);
// "text \"...\"" (and " file N bytes" for an in-line file).
std::string describeText(protocol::ConstBytes text);
// Bytes left at the end of a stream that make no whole message.
std::string describeLeftover(protocol::ConstBytes bytes);

// One description per message of a whole stream, leftovers included (used to
// show what a host answered).
std::vector<std::string> describeStream(protocol::ConstBytes stream);

// Canonical hex dump: offset, 16 bytes in hex, printable characters.
std::string hexDump(protocol::ConstBytes bytes);

}  // namespace unitsim
