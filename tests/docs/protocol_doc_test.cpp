// SPDX-License-Identifier: Apache-2.0
// The hex examples of docs/protocol.md, rebuilt with protocol/'s frame
// builders from the inputs each example states, so the reference for
// host-software authors cannot drift from what the programs send.
//
// An example is a fenced block whose info string starts with "hex" and names
// the builder and its inputs:
//   ```hex build=query text="UnitID"
//   00 00 00 0f 4d 44 53 51  55 6e 69 74 49 44 00
//   ```
// Values in double quotes take the escapes \t \r \n \" \\ and \xHH.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/frame.h"
#include "protocol/payload.h"

namespace {

using Attributes = std::map<std::string, std::string>;
using ByteVector = std::vector<std::uint8_t>;

struct Example {
    int line = 0;  // of the opening fence, for the failure message
    std::string infoString;
    Attributes attributes;
    ByteVector bytes;  // as the document shows them
    std::string error;  // a block that cannot be read
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> unescape(std::string_view quoted, std::string& error) {
    std::string out;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        char c = quoted[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == quoted.size()) {
            error = "a value ends in a backslash";
            return std::nullopt;
        }
        switch (quoted[i]) {
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case 'x': {
            int high = i + 1 < quoted.size() ? hexDigit(quoted[i + 1]) : -1;
            int low = i + 2 < quoted.size() ? hexDigit(quoted[i + 2]) : -1;
            if (high < 0 || low < 0) {
                error = "\\x needs two hexadecimal digits";
                return std::nullopt;
            }
            out += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            error = std::string("unknown escape \\") + quoted[i];
            return std::nullopt;
        }
    }
    return out;
}

// key=value pairs after "hex"; a value is a bare word or a quoted string.
std::optional<Attributes> parseInfoString(std::string_view info, std::string& error) {
    Attributes attributes;
    std::size_t i = 3;  // past "hex"
    while (i < info.size()) {
        while (i < info.size() && info[i] == ' ')
            ++i;
        if (i == info.size())
            break;
        std::size_t equals = info.find('=', i);
        if (equals == std::string_view::npos) {
            error = "'" + std::string(info.substr(i)) + "' is not key=value";
            return std::nullopt;
        }
        std::string key(info.substr(i, equals - i));
        i = equals + 1;
        std::string value;
        if (i < info.size() && info[i] == '"') {
            std::size_t end = i + 1;
            while (end < info.size() && info[end] != '"')
                end += info[end] == '\\' ? 2 : 1;
            if (end >= info.size()) {
                error = "unclosed quote in the value of " + key;
                return std::nullopt;
            }
            auto text = unescape(info.substr(i + 1, end - i - 1), error);
            if (!text)
                return std::nullopt;
            value = *text;
            i = end + 1;
        } else {
            std::size_t end = info.find(' ', i);
            if (end == std::string_view::npos)
                end = info.size();
            value = std::string(info.substr(i, end - i));
            i = end;
        }
        attributes[key] = value;
    }
    return attributes;
}

std::optional<ByteVector> parseHex(const std::string& text, std::string& error) {
    ByteVector bytes;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
        if (word.size() != 2 || hexDigit(word[0]) < 0 || hexDigit(word[1]) < 0) {
            error = "'" + word + "' is not a byte in hexadecimal";
            return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(hexDigit(word[0]) * 16 + hexDigit(word[1])));
    }
    return bytes;
}

std::vector<Example> readExamples(const std::string& path) {
    std::ifstream in(path);
    std::vector<Example> examples;
    std::string line;
    int number = 0;
    Example* open = nullptr;
    std::string body;
    while (std::getline(in, line)) {
        ++number;
        if (open == nullptr) {
            if (line.rfind("```hex", 0) == 0) {
                examples.push_back({});
                open = &examples.back();
                open->line = number;
                open->infoString = line.substr(3);
                if (auto attributes = parseInfoString(open->infoString, open->error))
                    open->attributes = *attributes;
                body.clear();
            }
            continue;
        }
        if (line.rfind("```", 0) == 0) {
            if (open->error.empty()) {
                if (auto bytes = parseHex(body, open->error))
                    open->bytes = *bytes;
            }
            open = nullptr;
            continue;
        }
        body += line + "\n";
    }
    if (open != nullptr)
        open->error = "the block is never closed";
    return examples;
}

std::optional<protocol::FrameType> typeNamed(const std::string& code) {
    for (const auto& entry : protocol::typeTable())
        if (entry.code == code)
            return entry.type;
    return std::nullopt;
}

std::optional<protocol::DataSubtype> subtypeNamed(const std::string& code) {
    for (const auto& entry : protocol::subtypeTable())
        if (entry.code == code)
            return entry.subtype;
    return std::nullopt;
}

std::uint32_t number(const Attributes& a, const std::string& key) {
    auto it = a.find(key);
    return it == a.end() ? 0 : static_cast<std::uint32_t>(std::stoul(it->second, nullptr, 0));
}

std::string text(const Attributes& a, const std::string& key) {
    auto it = a.find(key);
    return it == a.end() ? std::string() : it->second;
}

ByteVector asBytes(const std::string& s) {
    return ByteVector(s.begin(), s.end());
}

// What the builder named by `build` makes of the example's inputs.
std::optional<ByteVector> build(const Attributes& a, std::string& error) {
    ByteVector buffer(1 << 16);
    std::size_t length = 0;
    const std::string kind = text(a, "build");
    if (kind == "query") {
        length = protocol::buildQuery(buffer, text(a, "text"));
    } else if (kind == "empty" || kind == "frame") {
        auto type = typeNamed(text(a, "type"));
        if (!type) {
            error = "no frame type '" + text(a, "type") + "'";
            return std::nullopt;
        }
        if (kind == "empty") {
            length = protocol::buildEmpty(buffer, *type);
        } else {
            ByteVector body = asBytes(text(a, "text"));
            body.push_back(0);
            length = protocol::buildFrame(buffer, *type, body);
        }
    } else if (kind == "data") {
        auto subtype = subtypeNamed(text(a, "subtype"));
        if (!subtype) {
            error = "no DATA subtype '" + text(a, "subtype") + "'";
            return std::nullopt;
        }
        ByteVector content = asBytes(text(a, "text"));
        length = protocol::buildDataText(buffer, *subtype, protocol::ConstBytes(content),
                                         number(a, "padding"));
    } else if (kind == "keepalive") {
        length = protocol::buildKeepAlive(buffer);
    } else if (kind == "file") {
        ByteVector content = asBytes(text(a, "content"));
        length = protocol::buildFileFrame(buffer, text(a, "kind"), text(a, "name"), content);
    } else if (kind == "registration") {
        std::string unit = text(a, "unit"), product = text(a, "product"), ip = text(a, "ip");
        length = protocol::buildRegistration(buffer, {unit, product, ip});
    } else if (kind == "event") {
        std::string eventText = text(a, "text");
        protocol::Event event;
        event.newStarts = number(a, "starts");
        event.newStops = number(a, "stops");
        event.timeStamp = number(a, "time");
        event.keyCode = number(a, "key");
        event.touchColumn = number(a, "column");
        event.touchRow = number(a, "row");
        event.text = eventText;
        length = protocol::buildEvent(buffer, event);
    } else if (kind == "trivial") {
        // Unframed text: its bytes and one zero byte.
        ByteVector bytes = asBytes(text(a, "text"));
        bytes.push_back(0);
        return bytes;
    } else {
        error = "unknown builder '" + kind + "'";
        return std::nullopt;
    }
    if (length == 0) {
        error = "the builder made no frame";
        return std::nullopt;
    }
    buffer.resize(length);
    return buffer;
}

// Sixteen bytes a line, in two groups of eight, as the document writes them.
std::string hexDump(const ByteVector& bytes) {
    std::string out;
    static const char* digits = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += i % 16 == 0 ? "\n" : (i % 8 == 0 ? "  " : " ");
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

std::string documentPath() {
    return std::string(DOCS_DIR) + "/protocol.md";
}

TEST(ProtocolDocument, EveryHexExampleIsWhatTheBuildersMake) {
    auto examples = readExamples(documentPath());
    ASSERT_FALSE(examples.empty()) << "no ```hex blocks in " << documentPath();
    for (const Example& example : examples) {
        SCOPED_TRACE("protocol.md line " + std::to_string(example.line) + ": ```" +
                     example.infoString);
        ASSERT_EQ(example.error, "");
        std::string error;
        auto built = build(example.attributes, error);
        ASSERT_TRUE(built.has_value()) << error;
        EXPECT_EQ(hexDump(example.bytes), hexDump(*built))
            << "the block should read:\n" << hexDump(*built);
    }
}

// Every frame type and every DATA subtype has an example; so do the FILE
// frame's two kinds.
TEST(ProtocolDocument, EveryFrameTypeAndSubtypeHasAnExample) {
    std::set<std::string> types, subtypes, fileKinds;
    for (const Example& example : readExamples(documentPath())) {
        const ByteVector& b = example.bytes;
        if (b.size() < protocol::kHeaderSize || b[0] != 0)
            continue;  // unframed
        types.insert(std::string(b.begin() + 4, b.begin() + 8));
        if (b.size() >= protocol::kDataHeaderSize &&
            std::string(b.begin() + 4, b.begin() + 8) == "DATA") {
            std::string subtype(b.begin() + 8, b.begin() + 12);
            subtypes.insert(subtype);
            if (subtype == "FILE" && b.size() >= 20)
                fileKinds.insert(std::string(b.begin() + 16, b.begin() + 20));
        }
    }
    for (const auto& entry : protocol::typeTable())
        EXPECT_TRUE(types.count(std::string(entry.code))) << "no example of " << entry.code;
    for (const auto& entry : protocol::subtypeTable())
        EXPECT_TRUE(subtypes.count(std::string(entry.code))) << "no example of DATA " << entry.code;
    EXPECT_TRUE(fileKinds.count(std::string(protocol::kFileKindFile)));
    EXPECT_TRUE(fileKinds.count(std::string(protocol::kFileKindImage)));
}

// The reader itself: a block it cannot read fails the test instead of being
// passed over.
TEST(ProtocolDocument, ReaderRefusesMalformedBlocks) {
    struct Case {
        const char* info;
        bool good;
    } cases[] = {
        {"hex build=query text=\"a\\tb\"", true},
        {"hex build=query text=\"open", false},
        {"hex build=query text=\"\\q\"", false},
        {"hex build=query text=\"\\x4\"", false},
        {"hex build", false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(parseInfoString(c.info, error).has_value(), c.good) << c.info << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(parseHex("00 0g", error).has_value());
    EXPECT_FALSE(parseHex("000", error).has_value());
    EXPECT_EQ(parseHex("0A ff\n10", error), (ByteVector{0x0a, 0xff, 0x10}));
    auto tab = parseInfoString("hex build=query text=\"a\\tb\\x41\"", error);
    ASSERT_TRUE(tab.has_value());
    EXPECT_EQ((*tab)["text"], "a\tbA");
}

}  // namespace
