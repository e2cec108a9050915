// SPDX-License-Identifier: Apache-2.0
// The three output primitives every answer goes through, each of which also
// shows what it does: the packet log, the send step and the file send; and
// the framed send of mode-set and print packets.
#pragma once

#include <cstddef>
#include <string_view>

#include "hobsel/context.h"
#include "protocol/frame.h"

namespace hobsel {

enum class Dump { None = 0, Printable = 1, Hex = 2 };

// Where an answer goes: an accepted or opened connection, or nowhere
// (console mode, where the send step only shows what would be sent).
using Connection = Outlet*;

inline constexpr std::size_t kRequestSize = 8192;
inline constexpr std::size_t kMostFramedBody = kRequestSize - protocol::kHeaderSize;
// A file reference's path holds at most this many characters.
inline constexpr std::size_t kMostPath = 127;

// Prints a frame field by field. `frame` is the whole buffer the frame sits
// in; the length field is shown as it stands, and nothing is read past the
// buffer. Registrations and error reports are also recorded in their files.
void packetLog(Context& c, const char* label, protocol::ConstBytes frame);

// Sends `bytes` on the connection and dumps them as the mode asks. Once a
// send on the connection has failed, the rest of its answer is neither sent
// nor shown.
void sendStep(Context& c, Connection connection, const void* bytes, std::size_t length, Dump dump);

// Files larger than this are not sent (a unit has no room for them).
inline constexpr std::size_t kMostFileSize = 64u << 20;

// Sends the file a "<" or "@" reference names; false when it is not a
// reference or the file cannot be sent: missing, not a regular file (a
// directory, a FIFO), empty, unreadable, above kMostFileSize, or no memory.
bool fileSend(Context& c, Connection connection, std::string_view reference);

// A frame of `type` (four characters) around `body`; a body above
// kMostFramedBody bytes is cut to fit.
void framedSend(Context& c, Connection connection, std::string_view type,
                protocol::ConstBytes body);

// The path of a file reference: after its first character, up to ";", cut to
// kMostPath characters.
std::string_view referencePath(std::string_view reference);

}  // namespace hobsel
