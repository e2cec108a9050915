// SPDX-License-Identifier: Apache-2.0
#include "unitsim/messages.h"

#include <gtest/gtest.h>

#include <cstring>

#include "protocol/payload.h"

namespace unitsim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes frame(std::string_view code, std::string_view body) {
    Bytes f(8);
    protocol::writeBE32(f.data(), static_cast<std::uint32_t>(8 + body.size()));
    f.insert(f.begin() + 4, code.begin(), code.end());
    f.resize(8);
    f.insert(f.end(), body.begin(), body.end());
    return f;
}

TEST(UnitsimCutMessage, FramesTextAndInlineFiles) {
    using namespace std::string_view_literals;
    struct Case {
        const char* what;
        Bytes bytes;
        CutKind kind;
        std::size_t size;
    } cases[] = {
        {"nothing", {}, CutKind::NeedMore, 0},
        {"half a length", {0, 0}, CutKind::NeedMore, 0},
        {"length 7", {0, 0, 0, 7, 'M', 'D', 'S'}, CutKind::BadLength, 0},
        {"length 0", {0, 0, 0, 0}, CutKind::BadLength, 0},
        {"length above 1 MiB", {0, 0x10, 0, 1}, CutKind::BadLength, 0},
        {"empty frame", frame("TERM", ""), CutKind::Frame, 8},
        {"frame then more",
         [] {
             auto f = frame("MDSQ", "*\0"sv);
             f.push_back(0);
             return f;
         }(),
         CutKind::Frame, 10},
        {"frame not yet whole", Bytes{0, 0, 0, 20, 'M', 'D', 'S', 'Q'}, CutKind::NeedMore, 0},
        {"text", bytesOf("12345\0rest"sv), CutKind::Text, 6},
        {"text without its zero yet", bytesOf("12345"), CutKind::NeedMore, 0},
        {"inline file", bytesOf("<a.gif\0\0\0\0\3xyz"sv), CutKind::Text, 14},
        {"inline file not whole", bytesOf("<a.gif\0\0\0\0\3xy"sv), CutKind::NeedMore, 0},
        {"inline file too big", bytesOf("<a\0\x7F\0\0\0"sv), CutKind::BadLength, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Cut cut = cutMessage(c.bytes);
        EXPECT_EQ(cut.kind, c.kind);
        if (c.kind != CutKind::BadLength) {
            EXPECT_EQ(cut.size, c.size);
        }
    }
    EXPECT_EQ(cutMessage(Bytes{0, 0, 0, 3}).badLength, 3u);
    EXPECT_EQ(cutMessage(bytesOf("abcdefgh"), 4).kind, CutKind::BadLength);
}

TEST(UnitsimDescribe, EveryKindOfMessageGivesOneReadableLine) {
    using namespace std::string_view_literals;
    Bytes buffer(256);
    auto built = [&](std::size_t n) { return Bytes(buffer.begin(), buffer.begin() + n); };
    protocol::Event event;
    event.newStarts = 0x20;
    event.keyCode = 'A';
    event.text = "Btn";
    Bytes file = {1, 2, 3};
    struct Case {
        Bytes bytes;
        const char* line;
    } cases[] = {
        {frame("MDSQ", "UnitID = x\0"sv), "MDSQ \"UnitID = x\""},
        {frame("MODR", "A = 1\r\nB\t\"q\"\x01\0"sv), "MODR \"A = 1\\r\\nB\\t\\\"q\\\"\\x01\""},
        {frame("TERM", "\0"sv), "TERM \"\""},
        {built(protocol::buildDataText(buffer, protocol::DataSubtype::DisplayText, "hi", 1)),
         "DATA TEXT \"hi\""},
        {built(protocol::buildKeepAlive(buffer)), "DATA NOP_"},
        {built(protocol::buildFileFrame(buffer, "FILE", "dest.txt", file)),
         "DATA FILE FILE \"dest.txt\" 3 bytes"},
        {built(protocol::buildFileFrame(buffer, "GIF_", "", file)), "DATA FILE GIF_ 3 bytes"},
        {frame("DATA", "SHOW\xFE\xFF\0A\0\0"sv), "DATA SHOW double-byte FEFF00410000"},
        {frame("DATA", "ab"), "DATA (no subtype) 6162"},
        {frame("DATA", "WXYZ12"), "DATA \"WXYZ\" 3132"},
        {built(protocol::buildRegistration(buffer, {"U1", "", "10.0.0.9"})),
         "RGST \"U1\" \"\" \"10.0.0.9\""},
        {built(protocol::buildEvent(buffer, event)),
         "EVNT starts=0x20 stops=0x00 time=0 key=0x41 column=0 row=0 text=\"Btn\""},
        {frame("mdsq", "x"), "\"mdsq\" 78"},
    };
    for (const Case& c : cases) EXPECT_EQ(describeFrame(c.bytes), c.line);
    EXPECT_EQ(describeText(bytesOf("12345\0"sv)), "text \"12345\"");
    EXPECT_EQ(describeText(bytesOf("<a.gif;x\0\0\0\0\3xyz"sv)), "text \"<a.gif;x\" file 3 bytes");
    EXPECT_EQ(describeLeftover(Bytes{0, 0, 1}), "partial 000001");
    EXPECT_EQ(describeLeftover(bytesOf("abc")), "text \"abc\"");
}

TEST(UnitsimDescribe, StreamSplitsIntoMessagesAndKeepsTheRest) {
    using namespace std::string_view_literals;
    Bytes stream = frame("DATA", "TEXT12\0"sv);
    Bytes text = bytesOf("OK\0"sv);
    stream.insert(stream.end(), text.begin(), text.end());
    stream.push_back(0);
    std::vector<std::string> lines = describeStream(stream);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "DATA TEXT \"12\"");
    EXPECT_EQ(lines[1], "text \"OK\"");
    EXPECT_EQ(lines[2], "partial 00");
    EXPECT_EQ(describeStream(Bytes{0, 0, 0, 2, 9}),
              std::vector<std::string>{"bad length 2: 0000000209"});
}

TEST(UnitsimDescribe, HexDumpShowsOffsetsBytesAndText) {
    Bytes bytes = bytesOf("0123456789abcdefXY");
    bytes.push_back(0);
    EXPECT_EQ(hexDump(bytes),
              "00000000  30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66  |0123456789abcdef|\n"
              "00000010  58 59 00                                         |XY.|\n");
}

}  // namespace
}  // namespace unitsim

namespace unitsim {
namespace {

// Random streams, many of them starting like frames: every cut must lie
// inside the stream and every description must stay within its bytes
// (the sanitizer build checks the reads).
TEST(UnitsimDescribe, RandomStreamsAreCutAndDescribedWithinTheirBounds) {
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0xFF; };
    const char* codes[] = {"MDSQ", "DATA", "RGST", "EVNT", "TERM", "ERR_"};
    for (int round = 0; round < 3000; ++round) {
        Bytes stream(next() % 64);
        for (auto& b : stream) b = static_cast<std::uint8_t>(next());
        if (stream.size() >= 8 && round % 2 == 0) {
            stream[0] = stream[1] = stream[2] = 0;
            stream[3] = static_cast<std::uint8_t>(next() % 72);
            std::memcpy(&stream[4], codes[round % 6], 4);
            if (round % 4 == 0 && stream.size() >= 12)
                std::memcpy(&stream[8], "FILE", 4);
        }
        Cut cut = cutMessage(stream);
        if (cut.kind == CutKind::Frame || cut.kind == CutKind::Text) {
            ASSERT_LE(cut.size, stream.size());
        }
        std::vector<std::string> lines = describeStream(stream);
        EXPECT_EQ(lines.empty(), stream.empty());
    }
}

}  // namespace
}  // namespace unitsim
