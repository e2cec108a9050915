// SPDX-License-Identifier: Apache-2.0
#include "hobsel/packet_log.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/file_frame.h"
#include "protocol/payload.h"
#include "protocol/text.h"

namespace hobsel {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads stay inside the buffer: what lies past its end reads as zero.
struct BufferReader {
    protocol::ConstBytes bytes;

    std::uint32_t field(std::size_t offset) const {
        if (offset + 4 > bytes.size())
            return 0;
        return protocol::readBE32(bytes.data() + offset);
    }
    std::string_view text(std::size_t offset) const {
        if (offset >= bytes.size())
            return {};
        return protocol::textUntilZero(bytes.subspan(offset));
    }
};

// Text a unit sent, as it may be shown or logged.
std::string shown(std::string_view text) {
    return protocol::escapeControls(text);
}

void appendLine(const std::string& path, const std::string& line) {
    File file(std::fopen(path.c_str(), "a"));
    if (!file)
        return;  // the record is lost; the unit is still served
    std::fputs(line.c_str(), file.get());
}

void logData(Context& c, const BufferReader& r) {
    std::uint8_t code[4] = {};
    for (std::size_t i = 0; i < 4 && 8 + i < r.bytes.size(); ++i) code[i] = r.bytes[8 + i];
    std::string_view text = r.text(12);
    auto subtype = protocol::findSubtype(protocol::ConstBytes(code, 4));
    const char* word = nullptr;
    if (subtype) {
        switch (*subtype) {
            case protocol::DataSubtype::SpecialText:
                word = "SPECIALTEXT";
                break;
            case protocol::DataSubtype::DisplayText:
                word = "DISPLAYTEXT";
                break;
            case protocol::DataSubtype::ShowMessage:
                word = "SHOWMESSAGE";
                break;
            case protocol::DataSubtype::Unc:
                word = "UNC";
                break;
            case protocol::DataSubtype::Url:
                word = "URL";
                break;
            case protocol::DataSubtype::Nop:
                c.write("NOP\n");
                return;
            case protocol::DataSubtype::File:
                break;
        }
    }
    if (word != nullptr) {
        c.write("%s: %s\n", word, shown(text).c_str());
        return;
    }
    std::int32_t little = static_cast<std::int32_t>(code[0] | code[1] << 8 | code[2] << 16 |
                                                    std::uint32_t(code[3]) << 24);
    c.write("(unknown type %d)\n", little);
}

void logEvent(Context& c, const BufferReader& r) {
    unsigned long starts = r.field(8), stops = r.field(12), time = r.field(16);
    std::uint32_t key = r.field(20);
    if (starts & 0x20) {
        char character = static_cast<char>(key & 0xFF);
        c.write("Got key x%02X (%s) at %lu\n", key, shown(std::string_view(&character, 1)).c_str(),
                time);
    }
    if (starts & 0x0F) {
        std::string text = shown(r.text(protocol::kEventTextOffset));
        c.write("%s New Starts: %08lX  New Stops: %08lX  at %lu\n", text.c_str(), starts, stops,
                time);
    }
    if ((starts | stops) & 0x10) {
        c.write("%s at %lu %lu\n", (key & 0x10) ? "Touch" : "Release",
                static_cast<unsigned long>(r.field(24)), static_cast<unsigned long>(r.field(28)));
    }
}

void logRegistration(Context& c, const BufferReader& r) {
    std::string_view unitView = r.text(8);
    std::string_view productView = r.text(8 + unitView.size() + 1);
    std::string ip = shown(r.text(8 + unitView.size() + 1 + productView.size() + 1));
    std::string unit = shown(unitView), product = shown(productView);
    c.write("unitID:    %s\n", unit.c_str());
    c.write("productID: %s\n", product.c_str());
    c.write("IPaddress: %s\n", ip.c_str());
    if (c.settings.registrationsFile.empty())
        return;
    std::string line;
    line.append(unit).append("\t").append(product).append("\t").append(ip).append("\t");
    appendLine(c.settings.registrationsFile, line + c.timeLine());
}

void logErrorReport(Context& c, const BufferReader& r) {
    std::string text = shown(r.text(8));
    appendLine("error.log", c.timeLine() + text + "\n");
    c.write("%s\n", text.c_str());
}

}  // namespace

std::string_view referencePath(std::string_view reference) {
    if (reference.empty())
        return {};
    std::string_view path = reference.substr(1);
    path = path.substr(0, path.find(';'));
    return path.substr(0, kMostPath);
}

void packetLog(Context& c, const char* label, protocol::ConstBytes frame) {
    BufferReader r{frame};
    c.write("\n%s nominal mode packet, length %lu\n", label,
            static_cast<unsigned long>(r.field(0)));
    std::uint8_t code[4] = {};
    for (std::size_t i = 0; i < 4 && 4 + i < frame.size(); ++i) code[i] = frame[4 + i];
    auto type = protocol::findType(protocol::ConstBytes(code, 4));
    std::string_view codeText = protocol::textUntilZero(protocol::ConstBytes(code, 4));
    std::string name = type ? std::string(protocol::shortTypeName(*type)) : "(unknown)";
    c.write("Type   %s (%s)\n", name.c_str(), shown(codeText).c_str());
    if (type) {
        using protocol::FrameType;
        switch (*type) {
            case FrameType::Data:
                logData(c, r);
                break;
            case FrameType::Terminate:
                c.write("(no data)\n");
                break;
            case FrameType::Event:
                logEvent(c, r);
                break;
            case FrameType::Registration:
                logRegistration(c, r);
                break;
            case FrameType::ErrReport:
                logErrorReport(c, r);
                break;
            case FrameType::ProductQuery:
            case FrameType::CapQuery:
            case FrameType::TarnixQuery:
            case FrameType::ModeResponse:
            case FrameType::CapResponse: {
                c.write("%s\n", shown(r.text(8)).c_str());
                break;
            }
        }
    }
    c.write("\n");
}

void sendStep(Context& c, Connection connection, const void* data, std::size_t length, Dump dump) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    bool console = c.settings.console;
    if (connection != nullptr && connection->dropped())
        return;  // said once, when the send failed
    if (dump != Dump::None && (console || c.verbose(1))) {
        std::string text = std::to_string(length) + " >";
        for (std::size_t i = 0; i < length; ++i) {
            std::uint8_t b = bytes[i];
            if (dump == Dump::Printable && b >= 0x20 && b < 0x7F) {
                text += static_cast<char>(b);
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                text += hex;
            }
        }
        text += ">\n";
        std::fwrite(text.data(), 1, text.size(), c.out);
        std::fflush(c.out);
    }
    if (console || connection == nullptr) {
        if (dump != Dump::None)
            return;
        if (length == 4) {
            c.write("\nFile length: %lu\n", static_cast<unsigned long>(protocol::readBE32(bytes)));
        } else {
            c.write("(%d bytes of the file)\n", static_cast<int>(length));
        }
        return;
    }
    if (length == 0)
        return;
    c.say(2, "socksend %d\n", static_cast<int>(length));
    if (connection->deadline.send(connection->socket, bytes, length)) {
        if (dump == Dump::None)
            c.say(1, "Sent %d\n", static_cast<int>(length));
    } else {
        c.say(1, "Error %d\n", -1);
        c.say(1, "Answer dropped: the unit stopped taking it\n");
    }
}

bool fileSend(Context& c, Connection connection, std::string_view reference) {
    reference = reference.substr(0, reference.find('\0'));
    if (reference.empty() || (reference[0] != '<' && reference[0] != '@'))
        return false;
    std::string path(referencePath(reference));
    // Only a regular file is read, checked once it is open: a directory or a
    // FIFO named by a record (or swapped in for a file) must not stop or hang
    // the server.
    bool bare = reference[0] == '@';
    protocol::LoadedFile file = protocol::loadRegularFile(path, kMostFileSize, bare ? 2 : 0);
    using Status = protocol::LoadedFile::Status;
    switch (file.status) {
        case Status::Loaded:
            break;
        case Status::CannotOpen:
            c.say(1, "Can't open [%s]\n", shown(path).c_str());
            return false;
        case Status::ReadFailed:
            c.say(1, "Read failed\n");
            return false;
        case Status::TooLarge:
        case Status::NoMemory:
            return false;
    }
    if (file.size == 0)
        return false;
    if (reference[0] == '<') {
        std::string text(reference);
        sendStep(c, connection, text.c_str(), text.size() + 1, Dump::Printable);
        std::uint8_t sizeField[4];
        protocol::writeBE32(sizeField, static_cast<std::uint32_t>(file.size));
        sendStep(c, connection, sizeField, 4, Dump::Hex);
    }
    sendStep(c, connection, file.bytes.data(), file.bytes.size(), Dump::None);
    return true;
}

void framedSend(Context& c, Connection connection, std::string_view type,
                protocol::ConstBytes body) {
    body = body.first(std::min(body.size(), kMostFramedBody));
    std::vector<std::uint8_t> frame(protocol::kHeaderSize + body.size(), 0);
    protocol::writeBE32(frame.data(), static_cast<std::uint32_t>(frame.size()));
    for (std::size_t i = 0; i < 4 && i < type.size(); ++i) frame[4 + i] = type[i];
    std::copy(body.begin(), body.end(), frame.begin() + protocol::kHeaderSize);
    sendStep(c, connection, frame.data(), frame.size(), Dump::None);
}

}  // namespace hobsel
