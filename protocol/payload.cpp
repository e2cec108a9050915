// SPDX-License-Identifier: Apache-2.0
#include "protocol/payload.h"

#include <algorithm>
#include <cstring>

namespace protocol {

namespace {

ConstBytes asBytes(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void putCode(std::uint8_t* p, std::string_view code) { std::memcpy(p, code.data(), 4); }

// Zero the frame's extent and write its header; false when it does not fit.
bool startFrame(Bytes buffer, std::size_t length, std::string_view code) {
    if (length > buffer.size() || length < kHeaderSize || length > UINT32_MAX) return false;
    std::memset(buffer.data(), 0, length);
    writeBE32(buffer.data(), static_cast<std::uint32_t>(length));
    putCode(buffer.data() + 4, code);
    return true;
}

std::uint8_t* copyAt(std::uint8_t* p, ConstBytes bytes) {
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    return p + bytes.size();
}

std::uint32_t fieldAt(const FrameView& frame, std::size_t offset) {
    ConstBytes bytes = frame.bytes();
    return offset + 4 <= bytes.size() ? readBE32(bytes.data() + offset) : 0;
}

}  // namespace

std::size_t buildFrame(Bytes buffer, FrameType type, ConstBytes body) {
    std::size_t length = kHeaderSize + body.size();
    if (!startFrame(buffer, length, typeCode(type))) return 0;
    copyAt(buffer.data() + kHeaderSize, body);
    return length;
}

std::size_t buildQuery(Bytes buffer, std::string_view text) {
    std::size_t length = kHeaderSize + text.size() + 1;
    if (!startFrame(buffer, length, typeCode(FrameType::TarnixQuery))) return 0;
    copyAt(buffer.data() + kHeaderSize, asBytes(text));
    return length;
}

std::size_t buildEmpty(Bytes buffer, FrameType type) {
    std::size_t length = kHeaderSize + 1;
    return startFrame(buffer, length, typeCode(type)) ? length : 0;
}

std::size_t buildDataText(Bytes buffer, DataSubtype subtype, ConstBytes content,
                          std::size_t zeroPadding) {
    std::size_t length = kDataHeaderSize + content.size() + zeroPadding;
    if (!startFrame(buffer, length, typeCode(FrameType::Data))) return 0;
    putCode(buffer.data() + kHeaderSize, subtypeCode(subtype));
    copyAt(buffer.data() + kDataHeaderSize, content);
    return length;
}

std::size_t buildDataText(Bytes buffer, DataSubtype subtype, std::string_view text,
                          std::size_t zeroPadding) {
    return buildDataText(buffer, subtype, asBytes(text), zeroPadding);
}

std::size_t buildKeepAlive(Bytes buffer) {
    return buildDataText(buffer, DataSubtype::Nop, ConstBytes{}, 0);
}

std::size_t fileFrameSize(std::string_view kind, std::string_view destination,
                          std::size_t contentSize) {
    std::size_t name = kind == kFileKindImage ? 0 : destination.size() + 1;
    return 20 + name + contentSize + kFilePadding;
}

std::size_t fileContentOffset(std::string_view kind, std::string_view destination) {
    return 20 + (kind == kFileKindImage ? 0 : destination.size() + 1);
}

std::size_t buildFileFrameHeader(Bytes buffer, std::string_view kind,
                                 std::string_view destination, std::size_t contentSize) {
    std::size_t length = fileFrameSize(kind, destination, contentSize);
    if (contentSize > UINT32_MAX || !startFrame(buffer, length, typeCode(FrameType::Data))) {
        return 0;
    }
    std::uint8_t* p = buffer.data();
    putCode(p + 8, subtypeCode(DataSubtype::File));
    writeBE32(p + 12, static_cast<std::uint32_t>(contentSize));
    putCode(p + 16, kind);
    if (kind != kFileKindImage) copyAt(p + 20, asBytes(destination));
    return length;
}

std::size_t buildFileFrame(Bytes buffer, std::string_view kind, std::string_view destination,
                           ConstBytes content) {
    std::size_t length = buildFileFrameHeader(buffer, kind, destination, content.size());
    if (length == 0) return 0;
    copyAt(buffer.data() + fileContentOffset(kind, destination), content);
    return length;
}

std::size_t buildRegistration(Bytes buffer, const Registration& r) {
    std::size_t length =
        kHeaderSize + r.unitId.size() + r.productId.size() + r.ipAddress.size() + 3;
    if (!startFrame(buffer, length, typeCode(FrameType::Registration))) return 0;
    std::uint8_t* at = buffer.data() + kHeaderSize;
    at = copyAt(at, asBytes(r.unitId)) + 1;
    at = copyAt(at, asBytes(r.productId)) + 1;
    copyAt(at, asBytes(r.ipAddress));
    return length;
}

Registration readRegistration(const FrameView& frame) {
    Registration r;
    ConstBytes body = frame.body();
    r.unitId = textUntilZero(body);
    body = body.subspan(std::min(body.size(), r.unitId.size() + 1));
    r.productId = textUntilZero(body);
    body = body.subspan(std::min(body.size(), r.productId.size() + 1));
    r.ipAddress = textUntilZero(body);
    return r;
}

std::size_t buildEvent(Bytes buffer, const Event& e) {
    std::size_t length = kEventTextOffset + e.text.size() + 1;
    if (!startFrame(buffer, length, typeCode(FrameType::Event))) return 0;
    std::uint8_t* p = buffer.data();
    writeBE32(p + 8, e.newStarts);
    writeBE32(p + 12, e.newStops);
    writeBE32(p + 16, e.timeStamp);
    writeBE32(p + 20, e.keyCode);
    writeBE32(p + 24, e.touchColumn);
    writeBE32(p + 28, e.touchRow);
    copyAt(p + kEventTextOffset, asBytes(e.text));
    return length;
}

Event readEvent(const FrameView& frame) {
    Event e;
    e.newStarts = fieldAt(frame, 8);
    e.newStops = fieldAt(frame, 12);
    e.timeStamp = fieldAt(frame, 16);
    e.keyCode = fieldAt(frame, 20);
    e.touchColumn = fieldAt(frame, 24);
    e.touchRow = fieldAt(frame, 28);
    e.text = frame.bodyText(kEventTextOffset);
    return e;
}

int eventNumber(std::uint32_t newStarts) {
    std::uint32_t bits = newStarts & 0x3F;
    if (bits == 0 || (bits & 0x30) == 0x30) return 0;
    for (int n = 1; n <= 6; ++n) {
        if (bits & (1u << (n - 1))) return n;
    }
    return 0;
}

bool isDoubleByte(const FrameView& frame) {
    ConstBytes b = frame.bytes();
    if (b.size() < kDataHeaderSize + 2) return false;
    return (b[12] == 0xFE && b[13] == 0xFF) || (b[12] == 0xFF && b[13] == 0xFE);
}

ConstBytes dataContent(const FrameView& frame) {
    ConstBytes b = frame.bytes();
    if (b.size() <= kDataHeaderSize) return {};
    ConstBytes rest = b.subspan(kDataHeaderSize);
    if (isDoubleByte(frame)) return rest;
    return rest.first(textUntilZero(rest).size());
}

}  // namespace protocol
