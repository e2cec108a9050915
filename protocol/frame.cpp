// SPDX-License-Identifier: Apache-2.0
#include "protocol/frame.h"

#include <array>
#include <cstring>

namespace protocol {

namespace {

constexpr std::array<TypeEntry, 10> kTypes{{
    {FrameType::Terminate, "TERM", "SLT_TERMINATE"},
    {FrameType::CapQuery, "CAPQ", "SLT_CAPQUERY"},
    {FrameType::CapResponse, "CAPR", "SLT_CAPRESPONSE"},
    {FrameType::TarnixQuery, "MDSQ", "SLT_TARNIXQUERY"},
    {FrameType::ModeResponse, "MODR", "SLT_MODERESPONSE"},
    {FrameType::ErrReport, "ERR_", "SLT_ERRREPORT"},
    {FrameType::ProductQuery, "PROD", "SLT_PRODUCTQUERY"},
    {FrameType::Data, "DATA", "SLT_DATA"},
    {FrameType::Registration, "RGST", "SLT_REGISTRATION"},
    {FrameType::Event, "EVNT", "SLT_EVENT"},
}};

constexpr std::array<SubtypeEntry, 7> kSubtypes{{
    {DataSubtype::DisplayText, "TEXT", "SLD_DISPLAYTEXT", "DISPLAYTEXT"},
    {DataSubtype::ShowMessage, "SHOW", "SLD_SHOWMESSAGE", "SHOWMESSAGE"},
    {DataSubtype::SpecialText, "SPEC", "SLD_SPECIALTEXT", "SPECIALTEXT"},
    {DataSubtype::Unc, "UNC_", "SLD_UNC", "UNC"},
    {DataSubtype::Url, "URL_", "SLD_URL", "URL"},
    {DataSubtype::Nop, "NOP_", "SLD_NOP", "NOP"},
    {DataSubtype::File, "FILE", "SLD_FILE", ""},
}};

bool sameCode(ConstBytes code4, std::string_view code) {
    return code4.size() >= 4 && std::memcmp(code4.data(), code.data(), 4) == 0;
}

}  // namespace

std::span<const TypeEntry> typeTable() { return kTypes; }
std::span<const SubtypeEntry> subtypeTable() { return kSubtypes; }

std::string_view typeCode(FrameType type) { return kTypes[static_cast<std::size_t>(type)].code; }

std::string_view subtypeCode(DataSubtype subtype) {
    return kSubtypes[static_cast<std::size_t>(subtype)].code;
}

std::string_view shortTypeName(FrameType type) {
    return kTypes[static_cast<std::size_t>(type)].name.substr(4);
}

std::optional<FrameType> findType(ConstBytes code4) {
    for (const TypeEntry& entry : kTypes) {
        if (sameCode(code4, entry.code)) return entry.type;
    }
    return std::nullopt;
}

std::optional<DataSubtype> findSubtype(ConstBytes code4) {
    for (const SubtypeEntry& entry : kSubtypes) {
        if (sameCode(code4, entry.code)) return entry.subtype;
    }
    return std::nullopt;
}

std::uint32_t readBE32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) |
           (std::uint32_t{p[2]} << 8) | std::uint32_t{p[3]};
}

void writeBE32(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

std::optional<FrameView> FrameView::from(ConstBytes bytes) {
    if (bytes.size() < kHeaderSize) return std::nullopt;
    std::uint32_t length = readBE32(bytes.data());
    if (length < kHeaderSize || length > bytes.size()) return std::nullopt;
    return FrameView(bytes.first(length));
}

std::optional<DataSubtype> FrameView::subtype() const {
    if (bytes_.size() < kDataHeaderSize) return std::nullopt;
    return findSubtype(bytes_.subspan(kHeaderSize, 4));
}

std::string_view FrameView::bodyText(std::size_t offset) const {
    if (offset >= bytes_.size()) return {};
    return textUntilZero(bytes_.subspan(offset));
}

std::string_view textUntilZero(ConstBytes data) {
    if (data.empty()) return {};
    const auto* begin = reinterpret_cast<const char*>(data.data());
    const void* zero = std::memchr(begin, 0, data.size());
    std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin)
                         : data.size();
    return {begin, n};
}

Request classifyRequest(ConstBytes request) {
    Request result;
    if (request.empty() || request[0] != 0) {
        // An empty read leaves a zeroed buffer, which hosts see as a frame
        // whose length field is below 8.
        result.isFrame = request.empty();
        return result;
    }
    result.isFrame = true;
    if (request.size() < kHeaderSize || readBE32(request.data()) < kHeaderSize) return result;
    result.type = findType(request.subspan(4, 4)).value_or(FrameType::Terminate);
    return result;
}

}  // namespace protocol
