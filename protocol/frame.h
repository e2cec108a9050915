// SPDX-License-Identifier: Apache-2.0
// The unit protocol's frame: a 4-byte big-endian length that counts the whole
// frame, a 4-character type code and a body. DATA frames carry a second
// 4-character subtype at the start of the body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace protocol {

using Bytes = std::span<std::uint8_t>;
using ConstBytes = std::span<const std::uint8_t>;

inline constexpr std::size_t kHeaderSize = 8;   // length + type code
inline constexpr std::size_t kDataHeaderSize = 12;  // + subtype
inline constexpr std::uint16_t kUnitPort = 1283;

// Frame types, in the order of the system's type table.
enum class FrameType {
    Terminate,      // TERM
    CapQuery,       // CAPQ
    CapResponse,    // CAPR
    TarnixQuery,    // MDSQ
    ModeResponse,   // MODR
    ErrReport,      // ERR_
    ProductQuery,   // PROD
    Data,           // DATA
    Registration,   // RGST
    Event,          // EVNT
};

enum class DataSubtype { DisplayText, ShowMessage, SpecialText, Unc, Url, Nop, File };

struct TypeEntry {
    FrameType type;
    std::string_view code;  // the four bytes on the wire
    std::string_view name;  // "SLT_TERMINATE", ...
};
struct SubtypeEntry {
    DataSubtype subtype;
    std::string_view code;
    std::string_view name;     // "SLD_DISPLAYTEXT", ...
    std::string_view logWord;  // "DISPLAYTEXT"; empty for FILE, which hosts never log
};

std::span<const TypeEntry> typeTable();
std::span<const SubtypeEntry> subtypeTable();

std::string_view typeCode(FrameType type);
std::string_view subtypeCode(DataSubtype subtype);
// Name without the "SLT_" prefix ("TARNIXQUERY"), as hosts print it.
std::string_view shortTypeName(FrameType type);

// Exact, case-sensitive match of four raw bytes against the tables.
std::optional<FrameType> findType(ConstBytes code4);
std::optional<DataSubtype> findSubtype(ConstBytes code4);

// File kinds of a DATA FILE frame (offset 16); they are not subtypes.
inline constexpr std::string_view kFileKindFile = "FILE";
inline constexpr std::string_view kFileKindImage = "GIF_";

std::uint32_t readBE32(const std::uint8_t* p);
void writeBE32(std::uint8_t* p, std::uint32_t value);

// A received frame of known, checked extent: the view covers exactly the
// bytes the length field counts (at least the 8 header bytes).
class FrameView {
public:
    // Nothing when `bytes` is shorter than the header or than its length field.
    static std::optional<FrameView> from(ConstBytes bytes);

    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes_.size()); }
    ConstBytes code() const { return bytes_.subspan(4, 4); }
    std::optional<FrameType> type() const { return findType(code()); }
    ConstBytes body() const { return bytes_.subspan(kHeaderSize); }
    ConstBytes bytes() const { return bytes_; }
    // DATA subtype; nothing for a DATA frame too short to hold one.
    std::optional<DataSubtype> subtype() const;
    // The body as text, up to its first zero byte or the frame end.
    std::string_view bodyText(std::size_t offset = kHeaderSize) const;

private:
    explicit FrameView(ConstBytes bytes) : bytes_(bytes) {}
    ConstBytes bytes_;
};

// Text from `data` up to its first zero byte or the end of the span.
std::string_view textUntilZero(ConstBytes data);

// How a host sees one request read from a connection.
struct Request {
    bool isFrame = false;   // first byte zero
    FrameType type = FrameType::Terminate;  // for frames: length <= 7 or unknown code -> Terminate
};
Request classifyRequest(ConstBytes request);

}  // namespace protocol
