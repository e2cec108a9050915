// SPDX-License-Identifier: Apache-2.0
#include "protocol/payload.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace protocol {
namespace {

using Buffer = std::vector<std::uint8_t>;

std::string codeAt(const Buffer& b, std::size_t offset) {
    return std::string(reinterpret_cast<const char*>(b.data() + offset), 4);
}

bool allZero(const Buffer& b, std::size_t from, std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
        if (b[i] != 0) return false;
    }
    return true;
}

TEST(Query, EmptyTextIsNineBytes) {
    Buffer b(64, 0xAA);
    ASSERT_EQ(buildQuery(b, ""), 9u);
    EXPECT_EQ(readBE32(b.data()), 9u);
    EXPECT_EQ(codeAt(b, 4), "MDSQ");
    EXPECT_EQ(b[8], 0);
    EXPECT_EQ(b[9], 0xAA);  // nothing past the frame is touched
}

TEST(Query, SetLineFrame) {
    Buffer b(64);
    ASSERT_EQ(buildQuery(b, "unitID = 10.0.0.5"), 26u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data() + 8)), "unitID = 10.0.0.5");
    EXPECT_EQ(b[25], 0);
}

TEST(Builders, RefuseFramesLargerThanTheBuffer) {
    Buffer b(20, 0xAA);
    EXPECT_EQ(buildQuery(Bytes(b).first(12), "longer text"), 0u);
    EXPECT_EQ(b[0], 0xAA);
    std::array<std::uint8_t, 100> content{};
    EXPECT_EQ(buildFileFrame(b, kFileKindImage, "", content), 0u);
}

TEST(DataText, SizesOfEachSender) {
    Buffer b(256, 0xAA);
    // library: 12 header bytes, 5 characters, 41 zero bytes
    ASSERT_EQ(buildDataText(b, DataSubtype::DisplayText, "Hello", kLibraryTextPadding), 58u);
    EXPECT_EQ(codeAt(b, 4), "DATA");
    EXPECT_EQ(codeAt(b, 8), "TEXT");
    EXPECT_TRUE(allZero(b, 17, 58));
    EXPECT_EQ(buildDataText(b, DataSubtype::DisplayText, "", kLibraryTextPadding), 53u);
    EXPECT_TRUE(allZero(b, 12, 53));
    // host TEXT/SHOW: 12 + text + its zero byte
    EXPECT_EQ(buildDataText(b, DataSubtype::ShowMessage, "Hello", kHostTextPadding), 18u);
    // host SPEC: text then 8 zero bytes
    EXPECT_EQ(buildDataText(b, DataSubtype::SpecialText, "Hello", kHostSpecialPadding), 25u);
    EXPECT_EQ(codeAt(b, 8), "SPEC");
    EXPECT_TRUE(allZero(b, 17, 25));
}

TEST(DataText, DoubleByteTextKeepsInnerZerosToTheFrameEnd) {
    const std::uint8_t text[] = {0xFE, 0xFF, 0x00, 0x41, 0x00, 0x00};
    Buffer b(64);
    std::size_t n = buildDataText(b, DataSubtype::ShowMessage, text, 0);
    ASSERT_EQ(n, 18u);
    auto view = FrameView::from(Bytes(b).first(n));
    ASSERT_TRUE(view.has_value());
    EXPECT_TRUE(isDoubleByte(*view));
    ConstBytes content = dataContent(*view);
    ASSERT_EQ(content.size(), 6u);
    EXPECT_EQ(content[3], 0x41);
}

TEST(DataText, SingleByteContentEndsAtItsZero) {
    Buffer b(64);
    std::size_t n = buildDataText(b, DataSubtype::DisplayText, "abc", kLibraryTextPadding);
    auto view = FrameView::from(Bytes(b).first(n));
    EXPECT_FALSE(isDoubleByte(*view));
    EXPECT_EQ(dataContent(*view).size(), 3u);
}

TEST(FileFrame, ImageOfAThousandBytes) {
    Buffer content(1000, 0x5A);
    Buffer b(2048, 0xAA);
    ASSERT_EQ(buildFileFrame(b, kFileKindImage, "", content), 1052u);
    EXPECT_EQ(codeAt(b, 8), "FILE");
    EXPECT_EQ(readBE32(b.data() + 12), 1000u);
    EXPECT_EQ(codeAt(b, 16), "GIF_");
    EXPECT_EQ(b[20], 0x5A);
    EXPECT_EQ(b[1019], 0x5A);
    EXPECT_TRUE(allZero(b, 1020, 1052));
}

TEST(FileFrame, NamedFileSizes) {
    Buffer big(1000, 1);
    Buffer b(2048);
    EXPECT_EQ(buildFileFrame(b, kFileKindFile, "ninechars", big), 1062u);
    Buffer ten(10, 7);
    ASSERT_EQ(buildFileFrame(b, kFileKindFile, "name", ten), 67u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.data() + 20)), "name");
    EXPECT_EQ(b[24], 0);
    EXPECT_EQ(b[25], 7);
    EXPECT_EQ(b[34], 7);
    EXPECT_TRUE(allZero(b, 35, 67));
    EXPECT_EQ(fileFrameSize(kFileKindFile, "setscanner2", 137), 201u);
}

TEST(Registration, EmptyProductIdLeavesTwoZeros) {
    Buffer b(64);
    std::size_t n = buildRegistration(b, {"U1", "", "10.0.0.9"});
    ASSERT_EQ(n, 8u + 3 + 1 + 9);
    EXPECT_EQ(b[10], 0);
    EXPECT_EQ(b[11], 0);
    Registration r = readRegistration(*FrameView::from(Bytes(b).first(n)));
    EXPECT_EQ(r.unitId, "U1");
    EXPECT_EQ(r.productId, "");
    EXPECT_EQ(r.ipAddress, "10.0.0.9");
}

TEST(Registration, ShortFrameReadsEmptyFields) {
    Buffer b(8);
    writeBE32(b.data(), 8);
    Registration r = readRegistration(*FrameView::from(b));
    EXPECT_EQ(r.unitId, "");
    EXPECT_EQ(r.ipAddress, "");
}

TEST(Event, FieldsRoundTrip) {
    Buffer b(64);
    Event e{0x10, 0, 123456, 0x10, 3, 12, "btn"};
    std::size_t n = buildEvent(b, e);
    ASSERT_EQ(n, 36u);
    Event back = readEvent(*FrameView::from(Bytes(b).first(n)));
    EXPECT_EQ(back.newStarts, 0x10u);
    EXPECT_EQ(back.timeStamp, 123456u);
    EXPECT_EQ(back.touchColumn, 3u);
    EXPECT_EQ(back.touchRow, 12u);
    EXPECT_EQ(back.text, "btn");
}

TEST(Event, TruncatedFrameReadsZeros) {
    Buffer b(12);
    writeBE32(b.data(), 12);
    writeBE32(b.data() + 8, 0x20);
    Event e = readEvent(*FrameView::from(b));
    EXPECT_EQ(e.newStarts, 0x20u);
    EXPECT_EQ(e.keyCode, 0u);
    EXPECT_EQ(e.text, "");
}

TEST(Event, NumberIsTheLowestBit) {
    struct {
        std::uint32_t starts;
        int number;
    } cases[] = {{0, 0},    {0x01, 1}, {0x02, 2}, {0x08, 4},  {0x10, 5}, {0x20, 6},
                 {0x12, 2}, {0x31, 0}, {0x30, 0}, {0x40, 0}, {0x41, 1}, {0xFFFFFF20, 6}};
    for (auto c : cases) EXPECT_EQ(eventNumber(c.starts), c.number) << std::hex << c.starts;
}

TEST(Empty, TerminateAndRegistrationAreNineBytes) {
    Buffer b(16, 0xAA);
    EXPECT_EQ(buildEmpty(b, FrameType::Terminate), 9u);
    EXPECT_EQ(codeAt(b, 4), "TERM");
    EXPECT_EQ(b[8], 0);
    EXPECT_EQ(buildKeepAlive(b), 12u);
    EXPECT_EQ(codeAt(b, 8), "NOP_");
}

}  // namespace
}  // namespace protocol
