// SPDX-License-Identifier: Apache-2.0
// Bodies of every frame type, built into and read from a caller's buffer.
// Every builder zero-fills the bytes of the frame it writes, so each byte no
// field covers is zero, and returns the frame length, or 0 when the frame
// would not fit in the buffer (nothing is written past it).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/frame.h"

namespace protocol {

// Any frame: header, then `body` as given.
std::size_t buildFrame(Bytes buffer, FrameType type, ConstBytes body);

// MDSQ query: the text and its zero byte; an empty text gives the 9-byte frame.
std::size_t buildQuery(Bytes buffer, std::string_view text);

// TERM or RGST (or any type) with one zero byte as its body: length 9.
std::size_t buildEmpty(Bytes buffer, FrameType type);

// DATA frame of a text subtype: the 12 header bytes, `content`, then
// `zeroPadding` zero bytes. The senders differ only in the padding:
//   library TEXT/SPEC: text, 1 + 40 zero bytes (length = n + 53)
//   host TEXT/SHOW:    text, 1 zero byte       (length = n + 13)
//   host SPEC:         text, 8 zero bytes      (length = n + 20)
//   double-byte text:  mark, characters, 2 zero bytes already in `content`, 0
inline constexpr std::size_t kLibraryTextPadding = 41;
inline constexpr std::size_t kHostTextPadding = 1;
inline constexpr std::size_t kHostSpecialPadding = 8;
std::size_t buildDataText(Bytes buffer, DataSubtype subtype, ConstBytes content,
                          std::size_t zeroPadding);
std::size_t buildDataText(Bytes buffer, DataSubtype subtype, std::string_view text,
                          std::size_t zeroPadding);

// DATA NOP_: a keep-alive, length 12.
std::size_t buildKeepAlive(Bytes buffer);

// DATA FILE: kind FILE with a destination name, or kind GIF_ without one.
// Length = 52 + (name + 1) + content for FILE, 52 + content for GIF_.
inline constexpr std::size_t kFilePadding = 32;
std::size_t buildFileFrame(Bytes buffer, std::string_view kind, std::string_view destination,
                           ConstBytes content);

// Room a FILE frame needs, for callers sizing a buffer of their own.
std::size_t fileFrameSize(std::string_view kind, std::string_view destination,
                          std::size_t contentSize);

// A FILE frame whose `contentSize` content bytes the caller writes itself
// afterwards at `fileContentOffset` (e.g. read straight from a file, with no
// copy in between); every other byte is written, padding zeroed. Returns the
// length, or 0 when it does not fit.
std::size_t buildFileFrameHeader(Bytes buffer, std::string_view kind,
                                 std::string_view destination, std::size_t contentSize);
std::size_t fileContentOffset(std::string_view kind, std::string_view destination);

// Registration from a unit: three texts one after the other.
struct Registration {
    std::string_view unitId;
    std::string_view productId;
    std::string_view ipAddress;
};
std::size_t buildRegistration(Bytes buffer, const Registration& registration);
Registration readRegistration(const FrameView& frame);

// Input event from a unit.
struct Event {
    std::uint32_t newStarts = 0;
    std::uint32_t newStops = 0;
    std::uint32_t timeStamp = 0;
    std::uint32_t keyCode = 0;
    std::uint32_t touchColumn = 0;
    std::uint32_t touchRow = 0;
    std::string_view text;
};
inline constexpr std::size_t kEventTextOffset = 32;
std::size_t buildEvent(Bytes buffer, const Event& event);
// Missing fields of a short frame read as 0 and an empty text.
Event readEvent(const FrameView& frame);

// Event number 1..6: the lowest bit set in newStarts & 0x3F. 0 when there is
// no event (newStarts 0) and when touch (0x10) and key (0x20) are both set.
int eventNumber(std::uint32_t newStarts);

// Text bodies of DATA frames from offset 12: single-byte text to its zero
// byte, double-byte text (starting FE FF or FF FE) to the frame end.
bool isDoubleByte(const FrameView& frame);
ConstBytes dataContent(const FrameView& frame);

}  // namespace protocol
