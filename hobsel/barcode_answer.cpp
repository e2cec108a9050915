// SPDX-License-Identifier: Apache-2.0
#include "hobsel/barcode_answer.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "hobsel/lookup.h"
#include "hobsel/seams.h"
#include "protocol/escapes.h"
#include "protocol/text.h"

namespace hobsel {

namespace {

using protocol::kDataHeaderSize;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The answer buffer: a frame header, then at most kAnswerTextCapacity bytes
// of text, and one spare zero byte for the second zero a double-byte text
// ends with.
struct Answer {
    std::vector<char> bytes = std::vector<char>(kRequestSize + 1, 0);
    char* text() { return bytes.data() + kDataHeaderSize; }
    protocol::ConstBytes frame() const {
        return {reinterpret_cast<const std::uint8_t*>(bytes.data()), kRequestSize};
    }
    // Puts a DATA text frame header in front of `textLength` bytes of text.
    std::size_t frameHeader(const Context& c, std::size_t textLength) {
        auto* p = reinterpret_cast<std::uint8_t*>(bytes.data());
        std::size_t length = kDataHeaderSize + textLength;
        protocol::writeBE32(p, static_cast<std::uint32_t>(length));
        std::memcpy(p + 4, "DATA", 4);
        std::memcpy(p + 8, c.settings.showMessage ? "SHOW" : "TEXT", 4);
        return length;
    }
};

bool dropped(Connection connection) {
    return connection != nullptr && connection->dropped();
}

void sendText(Context& c, Connection connection, const char* text) {
    sendStep(c, connection, text, std::strlen(text) + 1, Dump::Printable);
}

// Raw text whatever the response format: it is a demonstration of mixed
// graphics and text, and of answers spread over time.
void mixedTextAnswer(Context& c, Connection connection) {
    const Settings& s = c.settings;
    if (s.graphic) {
        if (s.inlineGraphics) {
            fileSend(c, connection, "<images/sample.gif");
        } else {
            sendText(c, connection, "/images/sample.gif");
        }
    }
    if (!s.multipleText) {
        sendText(c, connection, "Mixed Text");
        return;
    }
    // A unit that stopped taking its answer is not waited for.
    auto pause = [&](int ms) {
        if (!dropped(connection))
            c.sleep(std::chrono::milliseconds(ms));
    };
    sendText(c, connection, "Wait one second");
    pause(1000);
    sendText(c, connection, "Wait five seconds");
    pause(5000);
    sendText(c, connection, "Wait ten seconds");
    pause(10000);
    sendText(c, connection, "Stay up PTO seconds");
}

void imageAnswer(Context& c, Connection connection) {
    for (int i = 0; i < c.settings.imageCount && !dropped(connection); ++i) {
        c.say(2, "[%d]", i);
        fileSend(c, connection, i % 2 == 0 ? "<images/flip0.gif" : "<images/flip1.gif");
    }
}

void sendFramedText(Context& c, Connection connection, Answer& answer, std::size_t textLength) {
    std::size_t length = answer.frameHeader(c, textLength);
    if (c.verbose(2))
        packetLog(c, "Sending", answer.frame());
    sendStep(c, connection, answer.bytes.data(), length, Dump::None);
}

void plainTextAnswer(Context& c, Connection connection, Answer& answer) {
    char* text = answer.text();
    std::size_t length = std::strlen(text);
    if (c.settings.format == ResponseFormat::Nominal) {
        sendFramedText(c, connection, answer, length + 1);
        return;
    }
    length = protocol::decodeControlEscapes(text, length);
    length = protocol::decodeHexEscapes(text, length);
    text[length] = '\0';
    c.say(2, "trivial %d, [%s], %d\n", connection ? connection->socket.fd() : 0,
          protocol::escapeControls(text).c_str(), static_cast<int>(length + 1));
    sendStep(c, connection, text, length + 1, Dump::Printable);
}

void quotedAnswer(Context& c, Connection connection, Answer& answer) {
    char* text = answer.text();
    std::size_t length = std::strlen(text);
    std::size_t total;
    if (text[1] == '>' || text[1] == '<') {
        bool big = text[1] == '>';
        c.say(2, "%s Endian Double-byte packet\n", big ? "Big" : "Little");
        text[0] = static_cast<char>(big ? 0xFE : 0xFF);
        text[1] = static_cast<char>(big ? 0xFF : 0xFE);
        text[length + 1] = '\0';  // the spare byte: double-byte text ends with two zeros
        total = 2 + protocol::decodeHexEscapes(text + 2, length - 2 + 2);
    } else {
        std::memmove(text, text + 1, length);  // drops the bar, keeps the zero byte
        total = protocol::decodeHexEscapes(text, length);
    }
    if (c.settings.format == ResponseFormat::Nominal) {
        sendFramedText(c, connection, answer, total);
    } else {
        sendStep(c, connection, text, total, Dump::None);
    }
}

void printAnswer(Context& c, Connection connection, std::string_view record) {
    std::size_t at = 1;
    while (at < record.size() && !protocol::isWhite(record[at])) ++at;
    if (at == record.size())
        return;
    while (at < record.size() && protocol::isWhite(record[at])) ++at;
    std::vector<std::uint8_t> body = printBody(record.substr(at));
    if (body.empty())
        return;
    c.say(2, "Sending message to printer\n");
    framedSend(c, connection, "DATA", body);
}

void logBarcode(const Context& c, const char* barcode) {
    if (c.settings.barcodeLog.empty())
        return;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(c.settings.barcodeLog.c_str(), "a"));
    if (file)
        std::fprintf(file.get(), "%s\n", protocol::escapeControls(barcode).c_str());
}

}  // namespace

std::vector<std::uint8_t> printBody(std::string_view text) {
    std::string decoded(text);
    std::size_t length = protocol::decodeHexEscapes(decoded.data(), decoded.size());
    if (length == 0)
        return {};
    length = std::min(length, kMostPrintText);
    std::vector<std::uint8_t> body(4 + length + 8, 0);
    std::memcpy(body.data(), "SPEC", 4);
    std::memcpy(body.data() + 4, decoded.data(), length);
    return body;
}

void textAnswer(Context& c, char* request, Connection connection) {
    const Settings& s = c.settings;
    protocol::trimRight(request);
    if (request[0] == '\0') {
        c.say(1, "Stripped input to nothing\n");
        return;
    }
    Answer answer;
    if (c.verbose(1))
        c.say(1, "%s<%s<\n", c.timeLine().c_str(), protocol::escapeControls(request).c_str());
    c.printArmed = true;
    const char* barcode = request;
    if (!s.console) {
        if (const char* tab = std::strchr(request, '\t'))
            barcode = tab + 1;
    }
    c.say(1, "(%s)\n", protocol::escapeControls(barcode).c_str());

    if (s.outputPrefix > 0) {
        std::memcpy(answer.bytes.data(), "abcdefghij", 10);
        std::size_t count = std::min<std::size_t>(s.outputPrefix, kRequestSize);
        sendStep(c, connection, answer.bytes.data(), count, Dump::None);
    }
    if (s.touchDemo && touchDemoIdle(c)) {
        touchDemoSwipeOrScan(c, barcode);
        return;
    }
    if (s.mixedText && s.triggerBarcode == barcode) {
        mixedTextAnswer(c, connection);
        return;
    }
    if (s.imageCount != 0 && s.triggerBarcode == barcode) {
        imageAnswer(c, connection);
        return;
    }

    char* record = answer.text();
    int found = lookupRecord(c, barcode, record, kAnswerTextCapacity, true);
    c.say(2, "foundCode returned %d\n", found);
    if (found > 0) {
        switch (record[0]) {
            case '<':
            case '@':
                c.say(2, "sending file\n");
                if (fileSend(c, connection, record))
                    return;
                break;
            case '{':
                printAnswer(c, connection, record);
                return;
            case '|':
                c.say(2, "sending quoted text\n");
                quotedAnswer(c, connection, answer);
                return;
            default:
                break;
        }
    } else {
        std::snprintf(record, kAnswerTextCapacity, "%s\r\n  %d", barcode, c.requestCounter);
        if (record[0] == '/' || record[0] == '<')
            record[0] = ' ';
    }
    plainTextAnswer(c, connection, answer);
    logBarcode(c, barcode);
}

}  // namespace hobsel
