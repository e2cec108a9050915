// SPDX-License-Identifier: Apache-2.0
#include "unitsim/host_message.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "protocol/payload.h"

namespace unitsim {

namespace {

template <typename Build>
MessageBytes built(std::size_t room, Build build) {
    MessageBytes frame(room);
    frame.resize(build(protocol::Bytes(frame)));
    return frame;
}

std::optional<std::uint32_t> field(const std::string& text) {
    if (text.empty() || text[0] == '-')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long long n = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || n > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

std::optional<MessageBytes> parseHex(const std::vector<std::string>& words) {
    std::string digits;
    for (const std::string& w : words)
        for (char c : w)
            if (c != ' ' && c != ':')
                digits += c;
    if (digits.size() % 2 != 0)
        return std::nullopt;
    MessageBytes bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(digits[i])) ||
            !std::isxdigit(static_cast<unsigned char>(digits[i + 1])))
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// Splits off the next blank-separated word of `rest`.
std::string nextWord(std::string& rest) {
    std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string::npos) {
        rest.clear();
        return {};
    }
    std::size_t end = rest.find_first_of(" \t", start);
    std::string word = rest.substr(start, end - start);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    return word;
}

}  // namespace

MessageBytes barcodeTextMessage(const std::string& barcode) {
    MessageBytes bytes(barcode.begin(), barcode.end());
    bytes.push_back(0);
    return bytes;
}

MessageBytes barcodeFrameMessage(const std::string& barcode) {
    MessageBytes body = barcodeTextMessage(barcode);
    return built(protocol::kHeaderSize + body.size(), [&](protocol::Bytes b) {
        return protocol::buildFrame(b, protocol::FrameType::ProductQuery, body);
    });
}

MessageBytes eventMessage(std::uint32_t newStarts, std::uint32_t keyCode, std::uint32_t column,
                          std::uint32_t row, const std::string& text) {
    protocol::Event event;
    event.newStarts = newStarts;
    event.keyCode = keyCode;
    event.touchColumn = column;
    event.touchRow = row;
    event.text = text;
    return built(protocol::kEventTextOffset + text.size() + 1,
                 [&](protocol::Bytes b) { return protocol::buildEvent(b, event); });
}

MessageBytes registrationMessage(const std::string& unitId, const std::string& productId,
                                 const std::string& ip) {
    protocol::Registration r{unitId, productId, ip};
    std::size_t room = protocol::kHeaderSize + unitId.size() + productId.size() + ip.size() + 3;
    return built(room, [&](protocol::Bytes b) { return protocol::buildRegistration(b, r); });
}

bool isHostMessageKind(const std::string& kind) {
    return kind == "barcode" || kind == "prod" || kind == "event" || kind == "register" ||
           kind == "raw";
}

std::optional<MessageBytes> hostMessage(const std::string& kind,
                                        const std::vector<std::string>& words, std::string& error) {
    if (kind == "barcode" || kind == "prod") {
        if (words.size() != 1) {
            error = kind + " takes one TEXT";
            return std::nullopt;
        }
        return kind == "barcode" ? barcodeTextMessage(words[0]) : barcodeFrameMessage(words[0]);
    }
    if (kind == "event") {
        if (words.size() < 4 || words.size() > 5) {
            error = "event takes STARTS KEY COLUMN ROW [TEXT]";
            return std::nullopt;
        }
        std::uint32_t f[4];
        for (int i = 0; i < 4; ++i) {
            auto n = field(words[i]);
            if (!n) {
                error = "bad number '" + words[i] + "'";
                return std::nullopt;
            }
            f[i] = *n;
        }
        return eventMessage(f[0], f[1], f[2], f[3], words.size() == 5 ? words[4] : "");
    }
    if (kind == "register") {
        if (words.size() != 3) {
            error = "register takes UNITID PRODUCTID IP";
            return std::nullopt;
        }
        return registrationMessage(words[0], words[1], words[2]);
    }
    if (kind == "raw") {
        auto bytes = parseHex(words);
        if (!bytes)
            error = "raw takes hex digits in pairs, e.g. 00000009 4D445351 00";
        return bytes;
    }
    error = "unknown message kind '" + kind + "'";
    return std::nullopt;
}

std::optional<MessageLine> splitMessageLine(const std::string& line) {
    std::string rest = line;
    while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) rest.pop_back();
    MessageLine out;
    out.kind = nextWord(rest);
    if (out.kind.empty() || out.kind[0] == '#')
        return std::nullopt;
    std::size_t fixedWords = out.kind == "event" ? 4 : 0;
    bool restIsText = out.kind == "barcode" || out.kind == "prod" || out.kind == "event";
    while (out.words.size() < fixedWords || (!restIsText && !rest.empty())) {
        std::string word = nextWord(rest);
        if (word.empty())
            break;
        out.words.push_back(word);
    }
    if (restIsText && (out.kind != "event" || !rest.empty()))
        out.words.push_back(rest);
    return out;
}

}  // namespace unitsim
