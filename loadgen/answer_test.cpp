// SPDX-License-Identifier: Apache-2.0
#include "loadgen/answer.h"

#include <gtest/gtest.h>

#include <random>

#include "protocol/payload.h"

namespace loadgen {
namespace {

using unitsim::MessageBytes;

MessageBytes dataText(const std::string& text) {
    MessageBytes data(64 + text.size());
    data.resize(protocol::buildDataText(data, protocol::DataSubtype::DisplayText, text,
                                        protocol::kHostTextPadding));
    return data;
}

MessageBytes joined(std::initializer_list<MessageBytes> parts) {
    MessageBytes all;
    for (const MessageBytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// 200 bytes as a hostile host might send them; the first and last not zero,
// so the answer is neither a frame nor a text.
MessageBytes randomBytes() {
    std::mt19937 random(20261209);
    MessageBytes bytes(200);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    bytes.front() = bytes.front() ? bytes.front() : 1;
    bytes.back() = bytes.back() ? bytes.back() : 1;
    return bytes;
}

TEST(Answer, WellFormedAndMalformed) {
    MessageBytes twoGiB{0x80, 0, 0, 0, 'D', 'A', 'T', 'A', 'T', 'E', 'X', 'T', 'x'};
    MessageBytes bigFrame{0, 0, 0x40, 0, 'D', 'A', 'T', 'A'};  // says 16 KiB, has 8 bytes
    struct Case {
        const char* name;
        MessageBytes answer;
        std::optional<std::string> fault;
    } cases[] = {
        {"plain text", unitsim::barcodeTextMessage("OK"), std::nullopt},
        {"a DATA frame", dataText("shown"), std::nullopt},
        {"two texts", joined({unitsim::barcodeTextMessage("a"), unitsim::barcodeTextMessage("b")}),
         std::nullopt},
        {"a frame and a text", joined({dataText("x"), unitsim::barcodeTextMessage("y")}),
         std::nullopt},
        {"double-byte text", {0xFE, 0xFF, 0, 'A', 0, 'B', 0, 0}, std::nullopt},
        {"text without its zero", {'O', 'K'}, "text without its zero byte"},
        {"a frame cut short", {0, 0, 0, 40, 'P'}, "frame cut short"},
        {"a length field of 3", {0, 0, 0, 3, 'x'}, "length field 3"},
        {"16 KiB said, 8 bytes sent", bigFrame, "frame cut short"},
        {"2 GiB said, cut short", twoGiB, "frame cut short"},
        {"200 random bytes", randomBytes(), "text without its zero byte"},
        {"a frame and junk", joined({dataText("x"), {'j'}}), "text without its zero byte"},
        {"nothing", {}, "no answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(malformation(c.answer), c.fault);
    }
    // Cut to what is kept, a long answer is judged by what there is.
    EXPECT_EQ(malformation(bigFrame, false), std::nullopt);
}

TEST(Answer, TextOfEachKind) {
    EXPECT_EQ(answerText(unitsim::barcodeTextMessage("plain")), "plain");
    EXPECT_EQ(answerText(dataText("shown")), "shown");
    EXPECT_EQ(answerText(unitsim::barcodeFrameMessage("prod body")), "prod body");
    EXPECT_EQ(answerText({}), "");
    EXPECT_EQ(answerText({0, 0, 0, 40, 'P'}), "");  // a frame cut short
}

TEST(Answer, SamplesAreCutToTheStatedLength) {
    std::string longText(1000, 'x');
    std::string sample = sampleText(longText);
    EXPECT_EQ(sample, "\"" + std::string(kSampleBytes, 'x') + "\"... (936 more bytes)");
    EXPECT_EQ(sampleText("a\tb"), "\"a\\tb\"");
    MessageBytes bytes(300, 0xAB);
    std::string hex;
    for (std::size_t i = 0; i < kSampleBytes; ++i) hex += "AB";
    EXPECT_EQ(sampleBytes(bytes), "300 bytes " + hex + "...");
    EXPECT_EQ(sampleBytes({1, 2}), "2 bytes 0102");
}

}  // namespace
}  // namespace loadgen
