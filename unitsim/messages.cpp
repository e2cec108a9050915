// SPDX-License-Identifier: Apache-2.0
#include "unitsim/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "protocol/payload.h"

namespace unitsim {

namespace {

using protocol::ConstBytes;

std::string_view asText(ConstBytes bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string codeText(ConstBytes code4) {
    return quoted(asText(code4));
}

std::string describeData(const protocol::FrameView& frame) {
    auto subtype = frame.subtype();
    if (!subtype) {
        if (frame.body().size() < 4)
            return "DATA (no subtype) " + hexBytes(frame.body());
        return "DATA " + codeText(frame.body().subspan(0, 4)) + " " +
               hexBytes(frame.body().subspan(4));
    }
    std::string head = "DATA " + std::string(protocol::subtypeCode(*subtype));
    switch (*subtype) {
        case protocol::DataSubtype::Nop:
            return head;
        case protocol::DataSubtype::File: {
            ConstBytes b = frame.bytes();
            if (b.size() < 20)
                return head + " (short) " + hexBytes(frame.body().subspan(4));
            std::uint32_t size = protocol::readBE32(b.data() + 12);
            std::string_view kind = asText(b.subspan(16, 4));
            bool named = kind == protocol::kFileKindFile;
            bool known = named || kind == protocol::kFileKindImage;
            std::string out = head + " " + (known ? std::string(kind) : quoted(kind));
            if (named)
                out += " " + quoted(protocol::textUntilZero(b.subspan(20)));
            return out + " " + std::to_string(size) + " bytes";
        }
        default:
            if (protocol::isDoubleByte(frame))
                return head + " double-byte " + hexBytes(protocol::dataContent(frame));
            return head + " " + quoted(frame.bodyText(protocol::kDataHeaderSize));
    }
}

std::string describeEvent(const protocol::FrameView& frame) {
    protocol::Event e = protocol::readEvent(frame);
    char numbers[160];
    std::snprintf(numbers, sizeof numbers,
                  "EVNT starts=0x%02X stops=0x%02X time=%u key=0x%02X column=%u row=%u text=",
                  e.newStarts, e.newStops, e.timeStamp, e.keyCode, e.touchColumn, e.touchRow);
    return numbers + quoted(e.text);
}

}  // namespace

Cut cutMessage(ConstBytes pending, std::size_t maxMessage) {
    Cut cut;
    if (pending.empty())
        return cut;
    if (pending[0] == 0) {
        if (pending.size() < 4)
            return cut;
        std::uint32_t length = protocol::readBE32(pending.data());
        if (length < protocol::kHeaderSize || length > maxMessage) {
            cut.kind = CutKind::BadLength;
            cut.badLength = length;
        } else if (pending.size() >= length) {
            cut.kind = CutKind::Frame;
            cut.size = length;
        }
        return cut;
    }
    const void* zero = std::memchr(pending.data(), 0, pending.size());
    if (!zero) {
        if (pending.size() > maxMessage) {
            cut.kind = CutKind::BadLength;
            cut.badLength = static_cast<std::uint32_t>(pending.size());
        }
        return cut;
    }
    std::size_t textSize = static_cast<const std::uint8_t*>(zero) - pending.data() + 1;
    if (pending[0] != '<') {
        cut.kind = CutKind::Text;
        cut.size = textSize;
        return cut;
    }
    if (pending.size() < textSize + 4)
        return cut;
    std::uint32_t fileSize = protocol::readBE32(pending.data() + textSize);
    if (fileSize > maxMessage) {
        cut.kind = CutKind::BadLength;
        cut.badLength = fileSize;
    } else if (pending.size() >= textSize + 4 + fileSize) {
        cut.kind = CutKind::Text;
        cut.size = textSize + 4 + fileSize;
    }
    return cut;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                if (c >= 0x20 && c < 0x7F) {
                    out += ch;
                } else {
                    char hex[5];
                    std::snprintf(hex, sizeof hex, "\\x%02X", c);
                    out += hex;
                }
        }
    }
    return out + "\"";
}

std::string hexBytes(ConstBytes bytes) {
    std::string out;
    char hex[3];
    for (std::uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        out += hex;
    }
    return out;
}

std::string describeFrame(ConstBytes bytes) {
    auto frame = protocol::FrameView::from(bytes);
    if (!frame)
        return "frame (short) " + hexBytes(bytes);
    auto type = frame->type();
    if (!type)
        return codeText(frame->code()) + " " + hexBytes(frame->body());
    std::string code(protocol::typeCode(*type));
    switch (*type) {
        case protocol::FrameType::Data:
            return describeData(*frame);
        case protocol::FrameType::Event:
            return describeEvent(*frame);
        case protocol::FrameType::Registration: {
            protocol::Registration r = protocol::readRegistration(*frame);
            return code + " " + quoted(r.unitId) + " " + quoted(r.productId) + " " +
                   quoted(r.ipAddress);
        }
        default:
            return code + " " + quoted(frame->bodyText());
    }
}

std::string describeText(ConstBytes bytes) {
    std::string_view text = protocol::textUntilZero(bytes);
    std::string out = "text " + quoted(text);
    std::size_t rest = bytes.size() - std::min(bytes.size(), text.size() + 1);
    if (!text.empty() && text.front() == '<' && rest >= 4)
        out += " file " + std::to_string(rest - 4) + " bytes";
    return out;
}

std::string describeLeftover(ConstBytes bytes) {
    if (!bytes.empty() && bytes[0] != 0)
        return describeText(bytes);
    return "partial " + hexBytes(bytes);
}

std::vector<std::string> describeStream(ConstBytes stream) {
    std::vector<std::string> lines;
    while (!stream.empty()) {
        Cut cut = cutMessage(stream);
        if (cut.kind == CutKind::NeedMore || cut.kind == CutKind::BadLength) {
            std::string line = describeLeftover(stream);
            if (cut.kind == CutKind::BadLength)
                line = "bad length " + std::to_string(cut.badLength) + ": " +
                       hexBytes(stream.subspan(0, std::min<std::size_t>(stream.size(), 32)));
            lines.push_back(line);
            break;
        }
        ConstBytes message = stream.subspan(0, cut.size);
        lines.push_back(cut.kind == CutKind::Frame ? describeFrame(message)
                                                   : describeText(message));
        stream = stream.subspan(cut.size);
    }
    return lines;
}

std::string hexDump(ConstBytes bytes) {
    std::string out;
    char cell[32];
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        std::snprintf(cell, sizeof cell, "%08zx ", row);
        out += cell;
        std::string printable;
        for (std::size_t i = row; i < row + 16; ++i) {
            if (i < bytes.size()) {
                std::snprintf(cell, sizeof cell, " %02x", bytes[i]);
                out += cell;
                printable +=
                    (bytes[i] >= 0x20 && bytes[i] < 0x7F) ? static_cast<char>(bytes[i]) : '.';
            } else {
                out += "   ";
            }
        }
        out += "  |" + printable + "|\n";
    }
    return out;
}

}  // namespace unitsim
