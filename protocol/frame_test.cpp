// SPDX-License-Identifier: Apache-2.0
#include "protocol/frame.h"

#include <gtest/gtest.h>

#include <vector>

namespace protocol {
namespace {

std::vector<std::uint8_t> frameBytes(std::uint32_t length, std::string_view code,
                                     std::size_t total = 0) {
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(total, 8), 0);
    writeBE32(bytes.data(), length);
    for (std::size_t i = 0; i < code.size() && i < 4; ++i) bytes[4 + i] = code[i];
    return bytes;
}

TEST(TypeTable, KeepsTheSystemOrderAndNames) {
    const char* codes[] = {"TERM", "CAPQ", "CAPR", "MDSQ", "MODR",
                           "ERR_", "PROD", "DATA", "RGST", "EVNT"};
    ASSERT_EQ(typeTable().size(), 10u);
    for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(typeTable()[i].code, codes[i]);
    EXPECT_EQ(shortTypeName(FrameType::TarnixQuery), "TARNIXQUERY");
    EXPECT_EQ(subtypeTable()[5].logWord, "NOP");
    EXPECT_EQ(subtypeTable()[0].logWord, "DISPLAYTEXT");
}

TEST(TypeTable, CodesMatchCaseSensitively) {
    const std::uint8_t lower[] = {'d', 'a', 't', 'a'};
    const std::uint8_t upper[] = {'D', 'A', 'T', 'A'};
    EXPECT_FALSE(findType(lower).has_value());
    EXPECT_EQ(findType(upper), FrameType::Data);
    const std::uint8_t nop[] = {'n', 'o', 'p', '_'};
    EXPECT_FALSE(findSubtype(nop).has_value());
}

TEST(BigEndian, RoundTrips) {
    std::uint8_t b[4];
    writeBE32(b, 0x01020304);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[3], 4);
    EXPECT_EQ(readBE32(b), 0x01020304u);
}

TEST(FrameView, RefusesFramesItCannotHold) {
    auto shortLength = frameBytes(7, "DATA", 8);
    EXPECT_FALSE(FrameView::from(shortLength).has_value());
    auto tooLong = frameBytes(20, "DATA", 16);
    EXPECT_FALSE(FrameView::from(tooLong).has_value());
    auto ok = frameBytes(12, "DATA", 32);
    auto view = FrameView::from(ok);
    ASSERT_TRUE(view.has_value());
    EXPECT_EQ(view->length(), 12u);
    EXPECT_EQ(view->body().size(), 4u);
}

TEST(FrameView, SubtypeNeedsTwelveBytes) {
    auto bytes = frameBytes(10, "DATA", 12);
    bytes[8] = 'N';
    bytes[9] = 'O';
    EXPECT_FALSE(FrameView::from(bytes)->subtype().has_value());
}

struct ClassifyCase {
    const char* what;
    std::vector<std::uint8_t> request;
    bool isFrame;
    FrameType type;
};

TEST(ClassifyRequest, TellsFramesFromText) {
    std::vector<std::uint8_t> textWithCode = {'1', '2', 'D', 'A', 'T', 'A', 0};
    auto lower = frameBytes(12, "data", 12);
    auto unknown = frameBytes(12, "ABCD", 12);
    auto event = frameBytes(32, "EVNT", 32);
    std::vector<ClassifyCase> cases = {
        {"text that happens to hold a code", textWithCode, false, FrameType::Terminate},
        {"length 5", frameBytes(5, "DATA"), true, FrameType::Terminate},
        {"length 7", frameBytes(7, "PROD"), true, FrameType::Terminate},
        {"length 8", frameBytes(8, "PROD"), true, FrameType::ProductQuery},
        {"lower-case code", lower, true, FrameType::Terminate},
        {"unknown code", unknown, true, FrameType::Terminate},
        {"event", event, true, FrameType::Event},
        {"empty read", {}, true, FrameType::Terminate},
        {"a lone zero byte", {0}, true, FrameType::Terminate},
    };
    for (const ClassifyCase& c : cases) {
        Request r = classifyRequest(c.request);
        EXPECT_EQ(r.isFrame, c.isFrame) << c.what;
        EXPECT_EQ(r.type, c.type) << c.what;
    }
}

TEST(TextUntilZero, StopsAtZeroOrEnd) {
    const std::uint8_t withZero[] = {'a', 'b', 0, 'c'};
    const std::uint8_t withoutZero[] = {'a', 'b', 'c'};
    EXPECT_EQ(textUntilZero(withZero), "ab");
    EXPECT_EQ(textUntilZero(withoutZero), "abc");
    EXPECT_EQ(textUntilZero({}), "");
}

}  // namespace
}  // namespace protocol
